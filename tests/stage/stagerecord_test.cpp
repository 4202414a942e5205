// The stage's learning record: judgements from the keys, the review deck,
// and a record that can't be used.
#include "stagefixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

using testing_support::gbk;

namespace {

const std::vector<QString> kLibrary = {QStringLiteral("大"), QStringLiteral("小"), QStringLiteral("多"),
                                       QStringLiteral("少")};

class StageRecordTest : public StageTest {
protected:
    void SetUp() override
    {
        StageTest::SetUp();
        writeLibrary(kLibrary);
    }

    void type(char16_t key)
    {
        QKeyEvent event(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(key)));
        QApplication::sendEvent(form.get(), &event);
    }

    QString recordPath() const { return folder.path(QStringLiteral("database/record.sqlite")); }
    core::Record& record() { return *form->learningRecord(); }

    // Every judgement written so far, as "entry right|wrong", oldest first.
    QStringList judgements()
    {
        const QString csvPath = folder.path(QStringLiteral("export.csv"));
        EXPECT_TRUE(record().exportCsv(csvPath));
        QStringList lines = QString::fromUtf8(folder.readFile(QStringLiteral("export.csv")))
                                .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        lines.removeFirst(); // the header
        QStringList result;
        for (const QString& line : lines) {
            const QStringList fields = line.split(u',');
            result.append(fields.value(1) + u' '
                          + (fields.value(2) == QStringLiteral("对") ? QStringLiteral("right")
                                                                     : QStringLiteral("wrong")));
        }
        return result;
    }

    // Lets the record report and the stage show what it reported.
    void settle()
    {
        record().flush();
        QTest::qWait(50);
    }
};

} // namespace

TEST_F(StageRecordTest, TheFirstJudgementOfEachShowingIsRecorded)
{
    start();
    type(u' '); // 大 right
    type(u'3'); // sounds only
    type(u'\r');
    type(u'4'); // 小 wrong
    type(u' ');
    type(u'0'); // sounds and steps back to 大, not recorded: 小 was judged
    type(u'0'); // 大 wrong, and back to the front
    EXPECT_EQ(judgements(), (QStringList {QStringLiteral("大 right"), QStringLiteral("小 wrong"),
                                          QStringLiteral("大 wrong")}));
    EXPECT_EQ(recorder->messages(), QStringList {QStringLiteral("已到最前面！")});
    EXPECT_EQ(recorder->sounds().count(QStringLiteral("cuo.wav")), 4);
    EXPECT_EQ(recorder->sounds().count(QStringLiteral("guzhang.WAV")), 2);
    // The same text is the same item in every deck and every run.
    form.reset();
    core::resetStageState();
    start();
    type(u' ');
    EXPECT_EQ(judgements().size(), 4);
    EXPECT_EQ(record().statistics(QDate::currentDate()).learning
                  + record().statistics(QDate::currentDate()).known,
              2);
}

TEST_F(StageRecordTest, ReviewDeckShowsTheMostOverdueThenTheMostOftenWrong)
{
    start();
    const QDateTime now = QDateTime::currentDateTime();
    record().judge(gbk(QStringLiteral("山")), false, now.addDays(-5));
    record().judge(gbk(QStringLiteral("水")), false, now.addDays(-5));
    record().judge(gbk(QStringLiteral("水")), false, now.addDays(-5));
    record().judge(gbk(QStringLiteral("火")), false, now.addDays(-10));
    record().judge(gbk(QStringLiteral("木")), true, now); // not due
    record().flush();
    recorder->clear();

    action(QStringLiteral("复习篇"))->trigger();
    EXPECT_EQ(core::stageState().deckKind, core::DeckKind::Review);
    std::vector<QString> shownInTurn;
    for (int i = 0; i < 4; ++i) {
        shownInTurn.push_back(shown());
        form->showEntry();
    }
    EXPECT_EQ(shownInTurn, (std::vector<QString> {QStringLiteral("火"), QStringLiteral("水"),
                                                  QStringLiteral("山"), QStringLiteral("火")}));
    EXPECT_FALSE(action(QStringLiteral("添加"))->isEnabled());
    EXPECT_EQ(recorder->sounds().value(0), QStringLiteral("fenling.WAV"));
    EXPECT_TRUE(recorder->messages().isEmpty());
}

TEST_F(StageRecordTest, NothingDueSaysSoAndKeepsTheDeck)
{
    start();
    type(u' ');
    type(u'\r');
    record().flush();
    recorder->clear();
    action(QStringLiteral("复习篇"))->trigger();
    EXPECT_EQ(recorder->messages(), QStringList {QStringLiteral("今天没有要复习的了！")});
    EXPECT_TRUE(recorder->sounds().isEmpty());
    EXPECT_EQ(core::stageState().deckKind, core::DeckKind::Library);
    EXPECT_EQ(core::stageState().deck.size(), 4);
    EXPECT_EQ(cursor(), 1);
    EXPECT_EQ(shown(), QStringLiteral("小"));
    EXPECT_TRUE(action(QStringLiteral("添加"))->isEnabled());
}

TEST_F(StageRecordTest, ARecordThatCannotBeOpenedSaysSoOnceAndTheStageGoesOn)
{
    // A folder where the file should be: nothing can open it.
    ASSERT_TRUE(QDir().mkpath(recordPath()));
    start();
    type(u' ');
    type(u'\r');
    type(u'5');
    settle();
    EXPECT_EQ(recorder->messages(), QStringList {QStringLiteral("学习记录无法保存，这次的判断不会被记住。")});
    EXPECT_EQ(shown(), QStringLiteral("小"));
    EXPECT_EQ(recorder->sounds().count(QStringLiteral("cuo.wav")), 1);
    action(QStringLiteral("复习篇"))->trigger();
    EXPECT_EQ(recorder->messages().size(), 2); // nothing due; no second failure
    EXPECT_EQ(core::stageState().deckKind, core::DeckKind::Library);
}

TEST_F(StageRecordTest, ACorruptRecordIsKeptAsideAndANewOneBegins)
{
    folder.writeFile(QStringLiteral("database/record.sqlite"), QByteArray(8192, 'x'));
    start();
    type(u' ');
    settle();
    ASSERT_EQ(recorder->messages().size(), 1);
    EXPECT_TRUE(recorder->messages().front().startsWith(QStringLiteral("学习记录文件已损坏")));
    EXPECT_EQ(judgements(), QStringList {QStringLiteral("大 right")});
    const QStringList aside = QDir(folder.path(QStringLiteral("database")))
                                  .entryList({QStringLiteral("record.sqlite.corrupt-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(folder.readFile(QStringLiteral("database/") + aside.front()), QByteArray(8192, 'x'));
}
