#include "core/record.h"

#include "tests/core/entries.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
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
    const auto stats = record.statistics(today);
    EXPECT_EQ(stats.learning, 2);
    EXPECT_EQ(stats.lastDays.back().wrong, 2);
    EXPECT_TRUE(record.failureMessage().isEmpty());
}

TEST_F(RecordTest, JudgementsQueuedAtTheEndAreWrittenBeforeTheRecordCloses)
{
    {
        Record record(path);
        for (int i = 0; i < 50; ++i)
            record.judge(twoByteEntry(i), true, QDateTime(today, QTime(9, 0)));
    }
    Record reopened(path);
    EXPECT_EQ(reopened.statistics(today).lastDays.back().right, 50);
}

TEST_F(RecordTest, AnUnwritableRecordReportsOneFailureAndTheCallerGoesOn)
{
    Record record(QStringLiteral("/proc/no-such-folder/record.sqlite"));
    std::atomic<int> reports = 0;
    QObject::connect(
        &record, &Record::failed, &record, [&] { ++reports; }, Qt::DirectConnection);
    for (int i = 0; i < 3; ++i)
        record.judge(twoByteEntry(i), true);
    record.flush();
    EXPECT_FALSE(record.failureMessage().isEmpty());
    EXPECT_TRUE(record.reviewDeck(today).isEmpty());
    EXPECT_FALSE(record.clear());
    // The failure may come before the connection above was made; never twice.
    EXPECT_LE(reports.load(), 1);
}

TEST_F(RecordTest, AFullDiskReportsOneFailure)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    const QString mountPoint = dir.filePath(QStringLiteral("small"));
    QDir().mkpath(mountPoint);
    if (::mount("tmpfs", mountPoint.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "this machine can't mount a tmpfs: " << strerror(errno);
    {
        Record record(mountPoint + QStringLiteral("/record.sqlite"));
        std::atomic<int> reports = 0;
        QObject::connect(
            &record, &Record::failed, &record, [&] { ++reports; }, Qt::DirectConnection);
        record.flush();
        const QByteArray padding(200, 'x');
        for (int i = 0; i < 2000; ++i)
            record.judge(twoByteEntry(i % 3000) + padding, i % 2 == 0);
        record.flush();
        EXPECT_EQ(record.failureMessage(),
                  QStringLiteral("磁盘已满，学习记录无法保存，这次的判断不会被记住。"));
        EXPECT_EQ(reports.load(), 1);
    }
    ::umount(mountPoint.toLocal8Bit().constData());
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

TEST_F(RecordTest, AReadOnlyRecordReportsAFailureAndStaysUnchanged)
{
    ASSERT_EQ(runWriter(path, 3).acknowledged, 3);
    QStringList asUser;
    if (geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            GTEST_SKIP() << "root ignores file modes and setpriv is missing to run as another user";
        asUser = {setpriv, QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                  QStringLiteral("--clear-groups")};
        QStringList probe = asUser.mid(1);
        probe << QStringLiteral("test") << QStringLiteral("-x") << QStringLiteral(RECORD_WRITER);
        if (QProcess::execute(setpriv, probe) != 0)
            GTEST_SKIP() << "the user nobody can't run the writer helper from this build folder";
    }
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                          | QFileDevice::ExeOther | QFileDevice::ReadGroup
                                          | QFileDevice::ExeGroup);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const QByteArray before = digest(path);

    const WriterRun run = runWriter(path, 2, asUser);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.acknowledged, 2);
    EXPECT_EQ(run.failure, QStringLiteral("学习记录无法保存，这次的判断不会被记住。"));
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
