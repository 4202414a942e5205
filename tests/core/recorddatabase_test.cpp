#include "core/recorddatabase.h"

#include "core/schedule.h"
#include "platform/gbk.h"
#include "tests/core/entries.h"
#include "tests/support/programfolder.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>

#include <gtest/gtest.h>

namespace {

using core::RecordDatabase;

QByteArray gbk(const char16_t* text)
{
    return platform::gbk::encodeLiteral(QStringView(text));
}

const QDate day0(2026, 3, 1);
QDateTime at(int day, int hour = 10)
{
    return QDateTime(day0.addDays(day), QTime(hour, 0));
}

// Runs one statement on the file through a connection of its own.
QVariant inspect(const QString& path, const QString& sql)
{
    QVariant value;
    {
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inspect"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                value = q.value(0);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("inspect"));
    return value;
}

class RecordDatabaseTest : public ::testing::Test {
protected:
    // Where the export finds the shipped reading file.
    testing_support::ProgramFolder folder;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("record.sqlite"));
};

TEST_F(RecordDatabaseTest, OneEntryFromTwoDecksIsOneItemAndSurvivesReopening)
{
    {
        RecordDatabase db(path);
        ASSERT_TRUE(db.open());
        EXPECT_TRUE(db.recordJudgement(gbk(u"大"), true, at(0, 9)));
        EXPECT_TRUE(db.recordJudgement(gbk(u"小"), false, at(0, 9)));
        EXPECT_TRUE(db.recordJudgement(gbk(u"大"), true, at(0, 11)));
        EXPECT_FALSE(db.takeFailure());
    }
    EXPECT_EQ(inspect(path, QStringLiteral("SELECT COUNT(*) FROM item")).toInt(), 2);
    EXPECT_EQ(inspect(path, QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    EXPECT_EQ(inspect(path, QStringLiteral("PRAGMA user_version")).toInt(), RecordDatabase::schemaVersion());

    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    const core::Statistics stats = db.statistics(day0).value();
    EXPECT_EQ(stats.known, 1);
    EXPECT_EQ(stats.learning, 1);
    EXPECT_EQ(stats.dueToday, 0);
    ASSERT_EQ(stats.lastDays.size(), core::statisticsDays);
    EXPECT_EQ(stats.lastDays.back().day, day0);
    EXPECT_EQ(stats.lastDays.back().right, 2);
    EXPECT_EQ(stats.lastDays.back().wrong, 1);
    ASSERT_EQ(stats.mostWrong.size(), 1);
    EXPECT_EQ(stats.mostWrong[0].entry, gbk(u"小"));

    // The stored schedule continues from where it was: a same-day second Good.
    const auto first = core::judged({}, true, at(0, 9), gbk(u"大"));
    const auto second = core::judged(first, true, at(0, 11), gbk(u"大"));
    EXPECT_NEAR(inspect(path, QStringLiteral("SELECT stability FROM item WHERE right_count = 2")).toDouble(),
                second.memory.stability, 1e-9);
}

TEST_F(RecordDatabaseTest, ReviewDeckHoldsTheDueItemsMostOverdueFirstThenMostOftenWrong)
{
    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    // A wrong answer comes due the next day, unspread.
    db.recordJudgement(gbk(u"一"), false, at(0)); // due day 1
    db.recordJudgement(gbk(u"二"), false, at(1)); // due day 2
    db.recordJudgement(gbk(u"二"), false, at(1)); // due day 2, twice wrong
    db.recordJudgement(gbk(u"三"), false, at(1)); // due day 2, once wrong
    db.recordJudgement(gbk(u"四"), true, at(9));  // due day 11 or later

    EXPECT_EQ(db.reviewDeck(at(0).date()), QList<QByteArray> {});
    EXPECT_EQ(db.reviewDeck(at(1).date()), QList<QByteArray> {gbk(u"一")});
    const QList<QByteArray> expected = {gbk(u"一"), gbk(u"二"), gbk(u"三")};
    EXPECT_EQ(db.reviewDeck(at(10).date()), expected);
    EXPECT_EQ(db.statistics(at(10).date())->dueToday, 3);
}

TEST_F(RecordDatabaseTest, DailyCountsCoverTheLastThirtyLocalDays)
{
    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    db.recordJudgement(gbk(u"早"), true, at(0, 0));  // 30 days before day 30: outside
    db.recordJudgement(gbk(u"早"), false, at(1, 0)); // first day shown
    db.recordJudgement(gbk(u"晚"), true, at(29, 23));
    db.recordJudgement(gbk(u"晚"), false, at(30, 0));
    const auto stats = db.statistics(at(30).date()).value();
    EXPECT_EQ(stats.lastDays.front().day, at(1).date());
    EXPECT_EQ(stats.lastDays.front().wrong, 1);
    EXPECT_EQ(stats.lastDays.front().right, 0);
    EXPECT_EQ(stats.lastDays[28].right, 1);
    EXPECT_EQ(stats.lastDays[29].wrong, 1);
    int total = 0;
    for (const auto& d : stats.lastDays)
        total += d.right + d.wrong;
    EXPECT_EQ(total, 3);
}

TEST_F(RecordDatabaseTest, MostWrongListsAtMostTwentyMostWrongFirst)
{
    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    for (int i = 0; i < 25; ++i) {
        const QByteArray entry = twoByteEntry(i);
        for (int n = 0; n <= i; ++n)
            db.recordJudgement(entry, false, at(n));
    }
    const auto wrong = db.statistics(at(30).date())->mostWrong;
    ASSERT_EQ(wrong.size(), core::mostWrongEntries);
    EXPECT_EQ(wrong.front().wrong, 25);
    EXPECT_EQ(wrong.back().wrong, 6);
}

// The CSV is UTF-8 with a byte-order mark, and shows an entry as its library
// holds it: a character GBK lacks (from a UTF-8 library) included.
TEST_F(RecordDatabaseTest, CsvExportQuotesFieldsAndClearEmptiesTheRecord)
{
    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    db.recordJudgement(gbk(u"大,\"小\""), true, at(0, 9));
    db.recordJudgement(gbk(u"人"), false, at(1, 18));
    db.recordJudgement(gbk(u"红") + platform::gbk::foreignRun(QStringLiteral("🍎").toUtf8()), false,
                       at(1, 19));
    db.recordJudgement(gbk(u"ab1"), false, at(1, 20));
    db.recordJudgement(gbk(u"银行"), true, at(1, 20));
    EXPECT_EQ(db.statistics(at(1).date())->mostWrong.size(), 3);
    const QString csvPath = dir.filePath(QStringLiteral("record.csv"));
    ASSERT_TRUE(db.exportCsv(csvPath));
    QFile csv(csvPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray expected = QStringLiteral("\uFEFF时间,条目,拼音,判断\r\n"
                                               "2026-03-01 09:00:00,\"大,\"\"小\"\"\",dà xiǎo,对\r\n"
                                               "2026-03-02 18:00:00,人,rén,错\r\n"
                                               "2026-03-02 19:00:00,红🍎,hóng,错\r\n"
                                               "2026-03-02 20:00:00,ab1,,错\r\n"
                                               "2026-03-02 20:00:00,银行,yín háng,对\r\n")
                                    .toUtf8();
    EXPECT_EQ(csv.readAll(), expected);

    ASSERT_TRUE(db.clear());
    EXPECT_EQ(db.reviewDeck(at(100).date()), QList<QByteArray> {});
    const auto stats = db.statistics(at(1).date()).value();
    EXPECT_EQ(stats.known + stats.learning, 0);
    EXPECT_EQ(stats.lastDays.back().wrong, 0);
    EXPECT_TRUE(db.recordJudgement(gbk(u"人"), true, at(2)));
    EXPECT_EQ(db.statistics(at(2).date())->learning, 1);
}

TEST_F(RecordDatabaseTest, ARecordFromANewerReleaseIsLeftUntouched)
{
    ASSERT_FALSE(inspect(path, QStringLiteral("PRAGMA user_version = 99")).isValid());
    const QByteArray before = [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    RecordDatabase db(path);
    EXPECT_FALSE(db.open());
    EXPECT_EQ(db.takeFailure()->kind, core::RecordFailureKind::NewerRelease);
    EXPECT_FALSE(db.recordJudgement(gbk(u"大"), true, at(0)));
    EXPECT_FALSE(db.reviewDeck(at(0).date()));
    EXPECT_FALSE(db.hasUnwritten());
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    EXPECT_EQ(inspect(path, QStringLiteral("PRAGMA user_version")).toInt(), 99);
}

TEST_F(RecordDatabaseTest, ACorruptFileIsKeptAsideAndANewRecordBegins)
{
    QByteArray garbage;
    for (int i = 0; i < 1000; ++i)
        garbage += "this is not a record ";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    const QString message = db.takeFailure().value().message;
    EXPECT_TRUE(message.contains(QStringLiteral("损坏"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("record.sqlite.corrupt-"))) << message.toStdString();
    EXPECT_TRUE(db.recordJudgement(gbk(u"大"), true, at(0)));

    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("record.sqlite.corrupt-*")});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(dir.filePath(aside[0]));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), garbage);
    EXPECT_EQ(inspect(path, QStringLiteral("SELECT COUNT(*) FROM judgement")).toInt(), 1);
}

// A damaged page that the opening does not touch is found by whatever reads
// it first: each use sets the file aside, says so, and goes on with a new
// record instead of answering from, or writing into, the damaged one.
TEST_F(RecordDatabaseTest, DamageFoundAfterOpeningSetsTheFileAsideWhateverFindsIt)
{
    struct Use {
        const char* name;
        std::function<bool(RecordDatabase&)> run; // true when it answered as the new record would
    };
    const QString csvPath = dir.filePath(QStringLiteral("out.csv"));
    const Use uses[] = {
        {"judgement", [](RecordDatabase& db) { return db.recordJudgement(twoByteEntry(0), true, at(1)); }},
        {"review deck",
         [](RecordDatabase& db) { return db.reviewDeck(at(100).date()) == QList<QByteArray> {}; }},
        {"statistics",
         [](RecordDatabase& db) {
             const auto stats = db.statistics(at(1).date());
             return stats && stats->learning + stats->known == 0;
         }},
        {"export",
         [&csvPath](RecordDatabase& db) { return !db.exportCsv(csvPath) && !QFile::exists(csvPath); }},
        {"clear", [](RecordDatabase& db) { return db.clear(); }},
    };
    for (const Use& use : uses) {
        SCOPED_TRACE(use.name);
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.filePath(name));
        {
            RecordDatabase db(path);
            ASSERT_TRUE(db.open());
            for (int i = 0; i < 300; ++i)
                db.recordJudgement(twoByteEntry(i), false, at(0));
        }
        {
            // Keeps the first two pages (the header and the schema), so the
            // file still opens.
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_GT(f.size(), 16384);
            f.seek(8192);
            f.write(QByteArray(f.size() - 8192, '\xff'));
        }
        RecordDatabase db(path);
        ASSERT_TRUE(db.open());
        EXPECT_FALSE(db.takeFailure());
        EXPECT_TRUE(use.run(db));
        const std::optional<core::RecordFailure> failure = db.takeFailure();
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->kind, core::RecordFailureKind::Damaged);
        EXPECT_TRUE(failure->message.contains(QStringLiteral("record.sqlite.corrupt-")))
            << failure->message.toStdString();
        EXPECT_TRUE(failure->reason.contains(QStringLiteral("SQLite"))) << failure->reason.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("record.sqlite.corrupt-*")}).size(), 1);
        EXPECT_TRUE(db.recordJudgement(twoByteEntry(1), true, at(1)));
        EXPECT_EQ(inspect(path, QStringLiteral("SELECT COUNT(*) FROM item WHERE text = x'b0a2'")).toInt(), 1);
    }
}

// A record that can't be opened answers no query, so that nothing shows
// zeros as facts; it is tried again at each use and opens once it can.
TEST_F(RecordDatabaseTest, ARecordThatCannotBeOpenedAnswersNothingUntilItCan)
{
    const QString blocked = dir.filePath(QStringLiteral("blocked/record.sqlite"));
    QFile(dir.filePath(QStringLiteral("blocked"))).open(QIODevice::WriteOnly); // a file where the folder goes
    RecordDatabase db(blocked);
    EXPECT_FALSE(db.open());
    EXPECT_EQ(db.takeFailure()->message, QStringLiteral("学习记录无法打开，这次的判断不会被记住。"));
    EXPECT_FALSE(db.recordJudgement(gbk(u"大"), true, at(0)));
    EXPECT_FALSE(db.hasUnwritten());
    EXPECT_FALSE(db.reviewDeck(at(0).date()));
    EXPECT_FALSE(db.statistics(at(0).date()));
    EXPECT_FALSE(db.exportCsv(dir.filePath(QStringLiteral("out.csv"))));

    QFile::remove(dir.filePath(QStringLiteral("blocked")));
    QDir(dir.path()).mkdir(QStringLiteral("blocked"));
    EXPECT_TRUE(db.recordJudgement(gbk(u"大"), true, at(0)));
    EXPECT_EQ(db.statistics(at(0).date())->learning, 1);
}

// A record of every schema version, as a release wrote it, and how many
// judgements it holds. The file of the newest version is here too, so that
// the next version's migration is tried on it.
struct RecordOfAVersion {
    int version;
    int judgements;
};
const RecordOfAVersion recordsOfEachVersion[] = {
    {0, 0},  // before the first release: an empty file
    {1, 40}, // 40 judgements of 37 entries
};

// Every earlier record is brought up to the current schema with its
// judgements kept, and takes new ones. A new schema version fails here until
// a file of it is checked in beside the others and listed above.
TEST_F(RecordDatabaseTest, ARecordOfEveryEarlierVersionIsBroughtUpToDate)
{
    ASSERT_EQ(std::size(recordsOfEachVersion), std::size_t(RecordDatabase::schemaVersion()) + 1)
        << "check in tests/core/records/record-v" << RecordDatabase::schemaVersion()
        << ".sqlite, written by this version, and list it";
    for (const RecordOfAVersion& earlier : recordsOfEachVersion) {
        SCOPED_TRACE(earlier.version);
        const QString checkedIn =
            QStringLiteral(QUENLO_SOURCE_DIR "/tests/core/records/record-v%1.sqlite").arg(earlier.version);
        const QString copy = dir.filePath(QStringLiteral("v%1.sqlite").arg(earlier.version));
        ASSERT_TRUE(QFile::copy(checkedIn, copy)) << checkedIn.toStdString();
        QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        {
            RecordDatabase db(copy);
            ASSERT_TRUE(db.open());
            EXPECT_FALSE(db.takeFailure());
            EXPECT_TRUE(db.recordJudgement(gbk(u"新"), true, at(0)));
        }
        EXPECT_EQ(inspect(copy, QStringLiteral("PRAGMA user_version")).toInt(),
                  RecordDatabase::schemaVersion());
        EXPECT_EQ(inspect(copy, QStringLiteral("SELECT COUNT(*) FROM judgement")).toInt(),
                  earlier.judgements + 1);
        EXPECT_EQ(inspect(copy, QStringLiteral("SELECT SUM(right_count + wrong_count) FROM item")).toInt(),
                  earlier.judgements + 1);
        EXPECT_EQ(inspect(copy, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    }
}

} // namespace

// Taking back a judgement deletes it and puts the item's schedule back
// exactly; only this object's judgements, latest first, can be taken back.
TEST_F(RecordDatabaseTest, TakingBackAJudgementRestoresTheScheduleAsItWas)
{
    const QString itemRow = QStringLiteral(
        "SELECT stability || ' ' || difficulty || ' ' || last_review || ' ' ||"
        " due_day || ' ' || right_count || ' ' || wrong_count || ' ' ||"
        " right_streak FROM item");
    const QString judgements = QStringLiteral("SELECT COUNT(*) FROM judgement");
    {
        RecordDatabase db(path);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(db.recordJudgement(gbk(u"大"), true, at(0)));
    }
    const QVariant afterFirst = inspect(path, itemRow);
    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    EXPECT_FALSE(db.undoLastJudgement(gbk(u"大"))); // another run's judgement stays

    ASSERT_TRUE(db.recordJudgement(gbk(u"大"), false, at(3)));
    ASSERT_TRUE(db.recordJudgement(gbk(u"小"), true, at(3)));
    EXPECT_NE(inspect(path, itemRow), afterFirst);
    EXPECT_TRUE(db.undoLastJudgement(gbk(u"大")));
    EXPECT_EQ(inspect(path, itemRow), afterFirst);
    EXPECT_EQ(inspect(path, judgements).toInt(), 2);

    EXPECT_TRUE(db.undoLastJudgement(gbk(u"小"))); // its first: the item goes
    EXPECT_EQ(inspect(path, QStringLiteral("SELECT COUNT(*) FROM item")).toInt(), 1);
    EXPECT_EQ(inspect(path, judgements).toInt(), 1);
    EXPECT_FALSE(db.undoLastJudgement(gbk(u"小")));
    EXPECT_TRUE(db.reviewDeck(day0.addDays(30))->contains(gbk(u"大")));
}
