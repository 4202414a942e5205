#include "core/record.h"

#include "tests/core/entries.h"
#include "tests/platform/fulldisk.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

using core::Record;

const QDate today(2026, 3, 1);

class RecordTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("record.sqlite"));
};

// Runs the writer helper until it has acknowledged `judgements` writes or ended.
struct WriterRun {
    int acknowledged = 0;
    QString failure;
    int exitCode = -1;
};

int countLines(const QByteArray& output, QString* failure)
{
    int acknowledged = 0;
    for (const QByteArray& line : output.split('\n')) {
        if (line.startsWith("failure: "))
            *failure = QString::fromUtf8(line.mid(9));
        else if (!line.isEmpty())
            acknowledged = line.toInt();
    }
    return acknowledged;
}

TEST_F(RecordTest, QueriesSeeTheJudgementsQueuedBeforeThem)
{
    Record record(path);
    const QDateTime morning(today, QTime(9, 0));
    record.judge(twoByteEntry(0), false, morning);
    record.judge(twoByteEntry(1), true, morning);
    record.judge(twoByteEntry(0), false, morning.addSecs(60));
    EXPECT_EQ(record.reviewDeck(today.addDays(1)), QList<QByteArray> {twoByteEntry(0)});
    const auto stats = record.statistics(today).value();
    EXPECT_EQ(stats.learning, 2);
    EXPECT_EQ(stats.lastDays.back().wrong, 2);
    EXPECT_TRUE(record.failureMessages().isEmpty());
}

TEST_F(RecordTest, JudgementsQueuedAtTheEndAreWrittenBeforeTheRecordCloses)
{
    {
        Record record(path);
        for (int i = 0; i < 50; ++i)
            record.judge(twoByteEntry(i), true, QDateTime(today, QTime(9, 0)));
    }
    Record reopened(path);
    EXPECT_EQ(reopened.statistics(today)->lastDays.back().right, 50);
}

// Each kind of failure is told once however often it happens, and a later
// failure of another kind is told too: here a record that can't be opened
// until its folder appears, then another program's lock on it. A judgement
// the lock held back is written once the lock is gone (one taken back
// meanwhile never is), and the lock never holds up a query.
TEST_F(RecordTest, EachKindOfFailureIsToldOnceAndALockCostsNoJudgement)
{
    const QString folder = dir.filePath(QStringLiteral("child"));
    QFile(folder).open(QIODevice::WriteOnly); // a file where the folder goes
    const QString file = folder + QStringLiteral("/record.sqlite");
    Record record(file);
    for (int i = 0; i < 3; ++i)
        record.judge(twoByteEntry(i), true);
    EXPECT_EQ(record.reviewDeck(today), std::nullopt);
    EXPECT_EQ(record.statistics(today), std::nullopt);
    EXPECT_FALSE(record.clear());
    const QString cannotOpen = core::recordFailureMessage(core::RecordFailureKind::CannotOpen);
    EXPECT_EQ(record.failureMessages(), QStringList {cannotOpen});

    QFile::remove(folder);
    QDir().mkpath(folder);
    record.judge(twoByteEntry(3), true, QDateTime(today, QTime(9, 0)));
    record.flush();
    {
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery hold(db);
        ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        record.judge(twoByteEntry(4), false, QDateTime(today, QTime(9, 1)));
        record.judge(twoByteEntry(5), false, QDateTime(today, QTime(9, 2)));
        record.undoLastJudgement(twoByteEntry(5)); // held back: it is never written
        // Readers go on beside the lock.
        EXPECT_EQ(record.statistics(today)->learning, 1);
        EXPECT_TRUE(hold.exec(QStringLiteral("ROLLBACK")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    record.judge(twoByteEntry(6), true, QDateTime(today, QTime(9, 3)));
    EXPECT_EQ(record.statistics(today)->learning, 3);
    EXPECT_EQ(record.failureMessages(),
              (QStringList {cannotOpen, core::recordFailureMessage(core::RecordFailureKind::Locked)}));
}

// A full disk is named as such; the judgements wait and are written once
// there is room again.
TEST_F(RecordTest, AFullDiskIsNamedAndTheJudgementsAreWrittenOnceThereIsRoom)
{
    testing_support::SmallFileSystem disk("size=2m");
    if (!disk.isMounted())
        GTEST_SKIP() << disk.skipReason();
    const QDateTime morning(today, QTime(9, 0));
    for (const bool fullFromTheStart : {true, false}) {
        SCOPED_TRACE(fullFromTheStart ? "full before the record is made" : "full after the first judgement");
        const QString file = disk.path(fullFromTheStart ? QStringLiteral("a.sqlite")
                                                        : QStringLiteral("b.sqlite"));
        Record record(file);
        if (!fullFromTheStart) {
            record.judge(twoByteEntry(0), true, morning);
            record.flush();
        }
        disk.fill();
        const QByteArray padding(200, 'x');
        for (int i = 1; i <= 40; ++i)
            record.judge(twoByteEntry(i) + padding, i % 2 == 0, morning);
        record.flush();
        EXPECT_EQ(record.failureMessages(),
                  QStringList {core::recordFailureMessage(core::RecordFailureKind::DiskFull)});
        QFile::remove(disk.path(QStringLiteral(".filler")));
        record.judge(twoByteEntry(41), true, morning);
        const auto stats = record.statistics(today);
        ASSERT_TRUE(stats);
        EXPECT_EQ(stats->lastDays.back().right + stats->lastDays.back().wrong, fullFromTheStart ? 41 : 42);
        EXPECT_EQ(stats->learning + stats->known, fullFromTheStart ? 41 : 42);
        EXPECT_EQ(record.failureMessages().size(), 1);
    }
}

WriterRun runWriter(const QString& path, int judgements, const QStringList& prefix = {})
{
    QProcess writer;
    QStringList arguments = prefix;
    arguments << QStringLiteral(RECORD_WRITER) << path << QString::number(judgements);
    writer.start(arguments.takeFirst(), arguments);
    WriterRun run;
    if (!writer.waitForFinished(60000))
        return run;
    run.exitCode = writer.exitCode();
    run.acknowledged = countLines(writer.readAllStandardOutput(), &run.failure);
    return run;
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Root ignores file modes: `prefix` becomes the command that runs the writer
// as the user nobody. Gives why that can't be done, if it can't.
QString ordinaryUser(QStringList& prefix)
{
    if (geteuid() != 0)
        return {};
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        return QStringLiteral("root ignores file modes and setpriv is missing to run as another user");
    prefix = {setpriv, QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
              QStringLiteral("--clear-groups")};
    QStringList probe = prefix.mid(1);
    probe << QStringLiteral("test") << QStringLiteral("-x") << QStringLiteral(RECORD_WRITER);
    if (QProcess::execute(setpriv, probe) != 0)
        return QStringLiteral("the user nobody can't run the writer helper from this build folder");
    return {};
}

// Opened while its file was read-only, the record leaves a read-only log and
// shared index beside it; once the file may be written again, the record
// saves again, and the judgements from before are all still there.
TEST_F(RecordTest, ARecordWritableAgainSavesAgainDespiteReadOnlyLeftovers)
{
    QStringList asUser;
    if (const QString reason = ordinaryUser(asUser); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    QFile::setPermissions(dir.path(), QFile::Permissions(0x7777));
    ASSERT_EQ(runWriter(path, 3, asUser).failure, QString());
    const auto readWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                           | QFileDevice::ReadOther;
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    EXPECT_EQ(runWriter(path, 2, asUser).failure,
              core::recordFailureMessage(core::RecordFailureKind::ReadOnly));
    ASSERT_TRUE(QFile::exists(path + QStringLiteral("-shm"))) << "no leftovers to try the record on";
    EXPECT_FALSE(QFileInfo(path + QStringLiteral("-shm")).permissions() & QFileDevice::WriteOwner);

    QFile::setPermissions(path, readWrite);
    const WriterRun run = runWriter(path, 2, asUser);
    EXPECT_EQ(run.failure, QString());
    EXPECT_EQ(run.acknowledged, 2);
    Record record(path);
    const auto stats = record.statistics(QDate::currentDate());
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->lastDays.back().right + stats->lastDays.back().wrong, 5);
}

TEST_F(RecordTest, AReadOnlyRecordReportsAFailureAndStaysUnchanged)
{
    ASSERT_EQ(runWriter(path, 3).acknowledged, 3);
    QStringList asUser;
    if (const QString reason = ordinaryUser(asUser); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                          | QFileDevice::ExeOther | QFileDevice::ReadGroup
                                          | QFileDevice::ExeGroup);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const QByteArray before = digest(path);

    const WriterRun run = runWriter(path, 2, asUser);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.acknowledged, 2);
    EXPECT_EQ(run.failure, core::recordFailureMessage(core::RecordFailureKind::ReadOnly));
    EXPECT_EQ(digest(path), before);
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Kills the writer at random moments: every acknowledged judgement survives,
// at most the one in flight is lost, and the file stays whole with each
// judgement counted in its item.
TEST_F(RecordTest, KillingTheWriterLosesAtMostTheJudgementInFlight)
{
    constexpr int rounds = 12;
    int expected = 0;
    for (int round = 0; round < rounds; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(RECORD_WRITER), {path, QStringLiteral("100000")});
        ASSERT_TRUE(writer.waitForStarted());
        const int killAfter = 1 + static_cast<int>(QRandomGenerator::global()->bounded(40));
        QByteArray output;
        QString failure;
        while (countLines(output, &failure) < killAfter && writer.waitForReadyRead(10000))
            output += writer.readAllStandardOutput();
        writer.kill(); // SIGKILL
        writer.waitForFinished();
        output += writer.readAllStandardOutput();
        const int acknowledged = countLines(output, &failure);
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        ASSERT_GE(acknowledged, killAfter);

        const QString name = QStringLiteral("check");
        {
            auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path);
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
            EXPECT_EQ(q.value(0).toString(), QStringLiteral("ok"));
            ASSERT_TRUE(q.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM judgement),"
                                              " (SELECT SUM(right_count + wrong_count) FROM item)"))
                        && q.next());
            const int stored = q.value(0).toInt();
            EXPECT_EQ(q.value(1).toInt(), stored);
            EXPECT_GE(stored, expected + acknowledged);
            EXPECT_LE(stored, expected + acknowledged + 1);
            expected = stored;
        }
        QSqlDatabase::removeDatabase(name);
    }
}

} // namespace
