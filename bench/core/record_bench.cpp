// The learning record's costs: a judgement on the stage's thread, and the
// queries behind the review deck and the progress window on a big record.
//
// The big records are built once into the system's temporary folder and
// reused by later runs.

#include "core/record.h"
#include "core/schedule.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

const QDate today = QDate::currentDate();

// The n-th of up to 8836 * 3 distinct two-character GBK entries.
QByteArray entry(int n) {
    QByteArray text;
    text.append(static_cast<char>(0xB0 + n / 94 / 94));
    text.append(static_cast<char>(0xA1 + n / 94 % 94));
    text.append(static_cast<char>(0xB0));
    text.append(static_cast<char>(0xA1 + n % 94));
    return text;
}

struct Judgement {
    int item;
    QDateTime at;
    bool right;
};

// `judgements` judgements of `entries` entries spread over the last
// `days` days, about four in five right, written in one transaction
// with each item's schedule replayed from its judgements.
void fill(const QString& path, int judgements, int entries, int days) {
    {
        core::RecordDatabase schema(path);
        schema.open();
    }
    auto* random = QRandomGenerator::global();
    std::vector<Judgement> all;
    all.reserve(judgements);
    const QDateTime start(today.addDays(-days), QTime(8, 0));
    for (int i = 0; i < judgements; ++i) {
        const qint64 second = static_cast<qint64>(random->bounded(static_cast<double>(days) * 86400));
        all.push_back({static_cast<int>(random->bounded(entries)), start.addSecs(second),
                       random->bounded(5) != 0});
    }
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.at < b.at; });
    std::vector<core::ItemState> states(entries);

    const QString name = QStringLiteral("fill");
    {
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
        db.transaction();
        QSqlQuery add(db);
        add.prepare(QStringLiteral("INSERT INTO judgement (item_id, at, day, right) VALUES (?, ?, ?, ?)"));
        for (const Judgement& j : all) {
            states[j.item] = core::judged(states[j.item], j.right, j.at);
            add.bindValue(0, j.item + 1);
            add.bindValue(1, j.at.toMSecsSinceEpoch());
            add.bindValue(2, j.at.date().toJulianDay());
            add.bindValue(3, j.right ? 1 : 0);
            add.exec();
        }
        QSqlQuery item(db);
        item.prepare(QStringLiteral("INSERT INTO item (id, text, stability, difficulty, last_review,"
                                    " due_day, right_count, wrong_count, right_streak)"
                                    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 0; i < entries; ++i) {
            const core::ItemState& s = states[i];
            if (s.isNew())
                continue;
            item.bindValue(0, i + 1);
            item.bindValue(1, entry(i));
            item.bindValue(2, s.memory.stability);
            item.bindValue(3, s.memory.difficulty);
            item.bindValue(4, s.lastReview.toMSecsSinceEpoch());
            item.bindValue(5, s.due.toJulianDay());
            item.bindValue(6, s.rightCount);
            item.bindValue(7, s.wrongCount);
            item.bindValue(8, s.rightStreak);
            item.exec();
        }
        db.commit();
        QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    QSqlDatabase::removeDatabase(name);
}

// A record built for today; rebuilt when missing or made on another day.
QString bigRecord(int judgements, int entries) {
    const QString folder = QDir::temp().filePath(QStringLiteral("quenlo-record-bench"));
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/record-%1-%2-v%3-%4.sqlite")
                                      .arg(judgements)
                                      .arg(entries)
                                      .arg(core::RecordDatabase::schemaVersion())
                                      .arg(today.toString(Qt::ISODate));
    if (!QFile::exists(path)) {
        const QString partial = path + QStringLiteral(".partial");
        QFile::remove(partial);
        fill(partial, judgements, entries, 400);
        QFile::rename(partial, path);
    }
    return path;
}

// What the stage's thread pays per judgement, with 100,000 judgements
// already recorded; the worker writes them meanwhile.
void BM_JudgementOnCallersThread(benchmark::State& state) {
    const QString original = bigRecord(100000, 3000);
    const QString path = original + QStringLiteral(".judge");
    QFile::remove(path);
    QFile::copy(original, path);
    core::Record record(path);
    record.flush();
    int n = 0;
    for (auto _ : state) {
        record.judge(entry(n % 3000), n % 4 != 0);
        ++n;
    }
    record.flush(); // after the timed loop: the worker's share is not the caller's
    QFile::remove(path);
}
BENCHMARK(BM_JudgementOnCallersThread)->Iterations(5000)->Unit(benchmark::kMicrosecond);

// One judgement written by the worker (a transaction of its own), for scale.
void BM_JudgementWritten(benchmark::State& state) {
    const QString original = bigRecord(100000, 3000);
    const QString path = original + QStringLiteral(".write");
    QFile::remove(path);
    QFile::copy(original, path);
    core::Record record(path);
    record.flush();
    int n = 0;
    for (auto _ : state) {
        record.judge(entry(n % 3000), n % 4 != 0);
        record.flush();
        ++n;
    }
    QFile::remove(path);
}
BENCHMARK(BM_JudgementWritten)->Iterations(500)->Unit(benchmark::kMicrosecond);

void BM_ReviewDeck(benchmark::State& state) {
    core::Record record(bigRecord(1000000, 10000));
    qsizetype due = 0;
    for (auto _ : state)
        due = record.reviewDeck(today).size();
    state.counters["due"] = static_cast<double>(due);
}
BENCHMARK(BM_ReviewDeck)->Unit(benchmark::kMillisecond);

void BM_Statistics(benchmark::State& state) {
    core::Record record(bigRecord(1000000, 10000));
    core::Statistics stats;
    for (auto _ : state)
        stats = record.statistics(today);
    state.counters["known"] = stats.known;
    state.counters["learning"] = stats.learning;
    state.counters["due"] = stats.dueToday;
}
BENCHMARK(BM_Statistics)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
