// The progress window on a real record.
#include "core/record.h"
#include "platform/gbk.h"
#include "progress/dailychart.h"
#include "progress/progresswindow.h"
#include "tests/support/recordingeffects.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

    QTemporaryDir dir;
    QDate today = QDate::currentDate();
    core::Record record {dir.filePath(QStringLiteral("record.sqlite"))};
    testing_support::ScopedRecorder recorder;
};

} // namespace

TEST_F(ProgressWindowTest, ShowsTheCountsTheDaysAndTheTwentyMostOftenWrong)
{
    progress::ProgressWindow window(record, nullptr, today);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(
        window.countsText(),
        QStringLiteral("已认识 5 个 正在学 20 个 今天要复习 %1 个").arg(record.statistics(today).dueToday));
    const QStringList shown = window.mostWrongShown();
    ASSERT_EQ(shown.size(), 20);
    EXPECT_EQ(shown.front(), QString(QChar(0x4e00 + 0x100 * 24)));
    EXPECT_EQ(shown.back(), QString(QChar(0x4e00 + 0x100 * 5)));
    const QList<core::DayCounts>& days = window.chart().days();
    ASSERT_EQ(days.size(), 30);
    EXPECT_EQ(days.back().day, today);
    EXPECT_EQ(days.back().right, 10);
}

TEST_F(ProgressWindowTest, ExportsWhereChosenAndClearsOnlyWhenConfirmed)
{
    progress::ProgressWindow window(record, nullptr, today);
    window.exportCsv(); // cancelled: nothing written
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    recorder->saveFileAnswers.push_back(csv);
    window.exportCsv();
    ASSERT_TRUE(QFile::exists(csv));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count('\n'), 1 + 300 + 10); // the header and every judgement
    EXPECT_EQ(recorder->texts(Kind::SaveFileChooser).size(), 2);

    window.clearRecord(); // answered No
    EXPECT_EQ(record.statistics(today).learning, 20);
    recorder->confirmAnswers.push_back(true);
    window.clearRecord();
    EXPECT_EQ(window.countsText(), QStringLiteral("已认识 0 个 正在学 0 个 今天要复习 0 个"));
    EXPECT_TRUE(window.mostWrongShown().isEmpty());
    EXPECT_TRUE(recorder->messages().isEmpty());
}
