#pragma once

// Big learning records for the benchmarks, built once into the system's
// temporary folder and reused by later runs on the same day.

#include "core/record.h"
#include "core/schedule.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <vector>

namespace bench_record {

inline const QDate today = QDate::currentDate();

// The n-th of up to 8836 * 3 distinct two-character GBK entries.
inline QByteArray entry(int n)
{
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
inline void fill(const QString& path, int judgements, int entries, int days)
{
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
        all.push_back(
            {static_cast<int>(random->bounded(entries)), start.addSecs(second), random->bounded(5) != 0});
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
inline QString bigRecord(int judgements, int entries)
{
    const QString folder = QDir::temp().filePath(QStringLiteral("quenlo-record-bench"));
    QDir().mkpath(folder);
    const QString path = folder
                         + QStringLiteral("/record-%1-%2-v%3-%4.sqlite")
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

} // namespace bench_record
