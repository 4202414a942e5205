#include "core/recorddatabase.h"

#include "core/schedule.h"
#include "platform/gbk.h"
#include "tests/core/entries.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

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
        EXPECT_TRUE(db.takeFailure().isEmpty());
    }
    EXPECT_EQ(inspect(path, QStringLiteral("SELECT COUNT(*) FROM item")).toInt(), 2);
    EXPECT_EQ(inspect(path, QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    EXPECT_EQ(inspect(path, QStringLiteral("PRAGMA user_version")).toInt(), RecordDatabase::schemaVersion());

    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    const core::Statistics stats = db.statistics(day0);
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
    const auto first = core::judged({}, true, at(0, 9));
    const auto second = core::judged(first, true, at(0, 11));
    EXPECT_NEAR(inspect(path, QStringLiteral("SELECT stability FROM item WHERE right_count = 2")).toDouble(),
                second.memory.stability, 1e-9);
}

TEST_F(RecordDatabaseTest, ReviewDeckHoldsTheDueItemsMostOverdueFirstThenMostOftenWrong)
{
    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    db.recordJudgement(gbk(u"一"), false, at(0)); // due day 1
    db.recordJudgement(gbk(u"二"), true, at(0));  // due day 3
    db.recordJudgement(gbk(u"三"), false, at(2)); // due day 3, once wrong
    db.recordJudgement(gbk(u"四"), true, at(9));  // due day 12
    db.recordJudgement(gbk(u"五"), true, at(0));  // due day 3, never wrong

    EXPECT_TRUE(db.reviewDeck(at(0).date()).isEmpty());
    EXPECT_EQ(db.reviewDeck(at(1).date()), QList<QByteArray> {gbk(u"一")});
    const QList<QByteArray> expected = {gbk(u"一"), gbk(u"三"), gbk(u"二"), gbk(u"五")};
    EXPECT_EQ(db.reviewDeck(at(10).date()), expected);
    EXPECT_EQ(db.statistics(at(10).date()).dueToday, 4);
}

TEST_F(RecordDatabaseTest, DailyCountsCoverTheLastThirtyLocalDays)
{
    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    db.recordJudgement(gbk(u"早"), true, at(0, 0));  // 30 days before day 30: outside
    db.recordJudgement(gbk(u"早"), false, at(1, 0)); // first day shown
    db.recordJudgement(gbk(u"晚"), true, at(29, 23));
    db.recordJudgement(gbk(u"晚"), false, at(30, 0));
    const auto stats = db.statistics(at(30).date());
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
    const auto wrong = db.statistics(at(30).date()).mostWrong;
    ASSERT_EQ(wrong.size(), core::mostWrongEntries);
    EXPECT_EQ(wrong.front().wrong, 25);
    EXPECT_EQ(wrong.back().wrong, 6);
}

TEST_F(RecordDatabaseTest, CsvExportQuotesFieldsAndClearEmptiesTheRecord)
{
    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    db.recordJudgement(gbk(u"大,\"小\""), true, at(0, 9));
    db.recordJudgement(gbk(u"人"), false, at(1, 18));
    const QString csvPath = dir.filePath(QStringLiteral("record.csv"));
    ASSERT_TRUE(db.exportCsv(csvPath));
    QFile csv(csvPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray expected = QStringLiteral("时间,条目,判断\r\n"
                                               "2026-03-01 09:00:00,\"大,\"\"小\"\"\",对\r\n"
                                               "2026-03-02 18:00:00,人,错\r\n")
                                    .toUtf8();
    EXPECT_EQ(csv.readAll(), expected);

    ASSERT_TRUE(db.clear());
    EXPECT_TRUE(db.reviewDeck(at(100).date()).isEmpty());
    const auto stats = db.statistics(at(1).date());
    EXPECT_EQ(stats.known + stats.learning, 0);
    EXPECT_EQ(stats.lastDays.back().wrong, 0);
    EXPECT_TRUE(db.recordJudgement(gbk(u"人"), true, at(2)));
    EXPECT_EQ(db.statistics(at(2).date()).learning, 1);
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
    EXPECT_FALSE(db.takeFailure().isEmpty());
    EXPECT_FALSE(db.recordJudgement(gbk(u"大"), true, at(0)));
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
    const QString message = db.takeFailure();
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

TEST_F(RecordDatabaseTest, DamageFoundWhileWritingAlsoStartsANewRecord)
{
    {
        RecordDatabase db(path);
        ASSERT_TRUE(db.open());
        for (int i = 0; i < 300; ++i)
            db.recordJudgement(twoByteEntry(i), true, at(0));
    }
    {
        // Keeps the header page, so the file still opens.
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_GT(f.size(), 8192);
        f.seek(4096);
        f.write(QByteArray(f.size() - 4096, '\xff'));
    }
    RecordDatabase db(path);
    ASSERT_TRUE(db.open());
    EXPECT_TRUE(db.takeFailure().isEmpty());
    EXPECT_TRUE(db.recordJudgement(twoByteEntry(0), true, at(1)));
    EXPECT_TRUE(db.takeFailure().contains(QStringLiteral("损坏")));
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("record.sqlite.corrupt-*")}).size(), 1);
    EXPECT_EQ(db.statistics(at(1).date()).learning, 1);
}

TEST_F(RecordDatabaseTest, AFolderThatCannotHoldTheFileReportsAFailure)
{
    RecordDatabase db(QStringLiteral("/proc/no-such-folder/record.sqlite"));
    EXPECT_FALSE(db.open());
    EXPECT_EQ(db.takeFailure(), QStringLiteral("学习记录无法保存，这次的判断不会被记住。"));
    EXPECT_FALSE(db.recordJudgement(gbk(u"大"), true, at(0)));
    EXPECT_TRUE(db.reviewDeck(at(0).date()).isEmpty());
    EXPECT_EQ(db.statistics(at(0).date()).lastDays.size(), core::statisticsDays);
}

} // namespace
