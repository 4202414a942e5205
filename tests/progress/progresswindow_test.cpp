// The progress window on a real record.
#include "core/record.h"
#include "platform/gbk.h"
#include "progress/dailychart.h"
#include "progress/progresswindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBoundaryFinder>

#include <gtest/gtest.h>

namespace {

using Kind = testing_support::RecordingEffects::Kind;

QByteArray gbk(const QString& text)
{
    return platform::gbk::encodeLiteral(text);
}

class ProgressWindowTest : public ::testing::Test {
protected:
    // 25 entries met over the last week: entry i wrong i times, then the
    // first five right twice today (known).
    void SetUp() override
    {
        const QDateTime now = QDateTime(today, QTime(10, 0));
        for (int i = 0; i < 25; ++i) {
            const QByteArray entry = gbk(QString(QChar(0x4e00 + 0x100 * i)));
            for (int w = 0; w < i; ++w)
                record.judge(entry, false, now.addDays(-7 + w % 7));
            if (i < 5) {
                record.judge(entry, true, now.addSecs(-60));
                record.judge(entry, true, now);
            }
        }
        record.flush();
    }

    testing_support::ProgramFolder folder; // with the shipped reading file
    // Lets the window show what the record answered.
    void settle()
    {
        record.flush();
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    QDate today = QDate::currentDate();
    core::Record record {dir.filePath(QStringLiteral("record.sqlite"))};
    testing_support::ScopedRecorder recorder;
};

} // namespace

TEST_F(ProgressWindowTest, ShowsTheCountsTheDaysAndTheTwentyMostOftenWrong)
{
    progress::ProgressWindow window(record, nullptr, today);
    EXPECT_TRUE(window.countsText().startsWith(QStringLiteral("正在读取…")));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    settle();
    EXPECT_EQ(
        window.countsText(),
        QStringLiteral("已认识 5 个 正在学 20 个 今天要复习 %1 个").arg(record.statistics(today)->dueToday));
    const QStringList shown = window.mostWrongShown();
    ASSERT_EQ(shown.size(), 20);
    EXPECT_EQ(shown.front(), QString(QChar(0x4e00 + 0x100 * 24)));
    EXPECT_EQ(shown.back(), QString(QChar(0x4e00 + 0x100 * 5)));
    const QList<core::DayCounts>& days = window.chart().days();
    ASSERT_EQ(days.size(), 30);
    EXPECT_EQ(days.back().day, today);
    EXPECT_EQ(days.back().right, 10);
}

TEST_F(ProgressWindowTest, EachOftenWrongEntryHasItsPinyinUnderIt)
{
    const QDateTime now = QDateTime(today, QTime(11, 0));
    for (int w = 0; w < 30; ++w)
        record.judge(gbk(QStringLiteral("银行")), false, now);
    record.flush();
    progress::ProgressWindow window(record, nullptr, today);
    settle();
    const QStringList entries = window.mostWrongShown();
    const QStringList pinyin = window.mostWrongPinyinShown();
    ASSERT_EQ(pinyin.size(), entries.size());
    EXPECT_EQ(entries.front(), QStringLiteral("银行"));
    EXPECT_EQ(pinyin.front(), QStringLiteral("yín háng"));
    EXPECT_EQ(pinyin.at(entries.indexOf(QStringLiteral("开"))), QStringLiteral("kāi"));
    EXPECT_EQ(pinyin.at(entries.indexOf(QStringLiteral("怀"))), QStringLiteral("huái"));
}

TEST_F(ProgressWindowTest, ExportsWhereChosenAndClearsOnlyWhenConfirmed)
{
    progress::ProgressWindow window(record, nullptr, today);
    window.exportCsv(); // cancelled: nothing written
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    recorder->saveFileAnswers.push_back(csv);
    window.exportCsv();
    settle();
    ASSERT_TRUE(QFile::exists(csv));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count('\n'), 1 + 300 + 10); // the header and every judgement
    EXPECT_EQ(recorder->texts(Kind::SaveFileChooser).size(), 2);

    window.clearRecord(); // answered No
    EXPECT_EQ(record.statistics(today)->learning, 20);
    recorder->confirmAnswers.push_back(true);
    window.clearRecord();
    settle();
    settle(); // the cleared record's figures
    EXPECT_EQ(window.countsText(), QStringLiteral("已认识 0 个 正在学 0 个 今天要复习 0 个"));
    EXPECT_TRUE(window.mostWrongShown().isEmpty());
    EXPECT_TRUE(recorder->messages().isEmpty());
}

// Each entry stays whole on its line with its count, shown as its library
// holds it, a character GBK lacks included.
TEST_F(ProgressWindowTest, MostWrongKeepsEachEntryWholeWithItsCount)
{
    const QByteArray apple = gbk(QStringLiteral("红"))
                             + platform::gbk::foreignRun(QStringLiteral("🍎").toUtf8());
    for (int i = 0; i < 30; ++i) {
        record.judge(apple, false, QDateTime(today, QTime(9, 0)));
        record.judge(gbk(QStringLiteral("碧悍")), false, QDateTime(today, QTime(9, 0)));
    }
    progress::ProgressWindow window(record, nullptr, today);
    window.resize(300, 600);
    window.show();
    settle();
    EXPECT_TRUE(window.mostWrongShown().contains(QStringLiteral("红🍎")));
    EXPECT_TRUE(window.mostWrongShown().contains(QStringLiteral("碧悍")));
    const QString text = window.mostWrongText();
    QString plain = text;
    plain.remove(QChar(0x2060));
    EXPECT_TRUE(plain.startsWith(QStringLiteral("碧悍×30　红🍎×30　"))) << plain.toStdString();
    // A line may break only after the space between two entries.
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, text);
    for (qsizetype at = lines.toNextBoundary(); at > 0 && at < text.size(); at = lines.toNextBoundary())
        EXPECT_EQ(text[at - 1], QChar(0x3000)) << "a break inside " << text.left(at).toStdString();
}

// A record that can't be read says so instead of showing zeros.
TEST(ProgressWindowOnAnUnreadableRecord, SaysTheRecordCannotBeRead)
{
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("blocked"))).open(QIODevice::WriteOnly);
    core::Record record(dir.filePath(QStringLiteral("blocked/record.sqlite")));
    testing_support::ScopedRecorder recorder;
    progress::ProgressWindow window(record, nullptr);
    record.flush();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.countsText().trimmed(), QStringLiteral("学习记录无法读取"));
    EXPECT_TRUE(window.chart().days().isEmpty());
    EXPECT_TRUE(window.mostWrongShown().isEmpty());
}
