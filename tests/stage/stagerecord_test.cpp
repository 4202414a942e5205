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
                          + (fields.value(3) == QStringLiteral("对") ? QStringLiteral("right")
                                                                     : QStringLiteral("wrong")));
        }
        return result;
    }

    // Lets the record answer and the stage show what it answered.
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
    takeBack(); // 大 wrong taken back, and judged anew
    type(u' ');
    takeBack();
    takeBack();  // and 大 right, from the first showing
    takeBack();  // nothing more of 大 was judged in this run
    type(u'\r'); // 大 again after the front
    type(u'\r');
    takeBack(); // 小 wrong taken back
    type(u'\r');
    takeBack(); // 多 was never judged: nothing
    EXPECT_EQ(judgements(), QStringList {});
    type(u' ');
    press(Qt::Key_Left); // back to 小 without judging
    type(u'1');
    EXPECT_EQ(judgements(), (QStringList {QStringLiteral("多 right"), QStringLiteral("小 wrong")}));
    EXPECT_EQ(recorder->messages(), QStringList {QStringLiteral("已到最前面！")});
    EXPECT_EQ(recorder->sounds().count(QStringLiteral("cuo.wav")), 5);
    EXPECT_EQ(recorder->sounds().count(QStringLiteral("guzhang.WAV")), 4);
    // The same text is the same item in every deck and every run.
    form.reset();
    start();
    type(u' ');
    EXPECT_EQ(judgements().size(), 3);
    const auto stats = record().statistics(QDate::currentDate());
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->learning + stats->known, 3);
}

TEST_F(StageRecordTest, ReviewDeckShowsTheMostOverdueThenTheMostOftenWrong)
{
    start();
    type(u'\r'); // the library at 小
    const QDateTime now = QDateTime::currentDateTime();
    record().judge(gbk(QStringLiteral("山")), false, now.addDays(-5));
    record().judge(gbk(QStringLiteral("水")), false, now.addDays(-5));
    record().judge(gbk(QStringLiteral("水")), false, now.addDays(-5));
    record().judge(gbk(QStringLiteral("火")), false, now.addDays(-10));
    record().judge(gbk(QStringLiteral("木")), true, now); // not due
    record().flush();
    recorder->clear();
    form->prepareMenu(); // the count comes later, from the record's thread
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return action(QStringLiteral("复习篇"))->text() == QStringLiteral("复习篇（3）"); }));

    action(QStringLiteral("复习篇"))->trigger();
    settle();
    EXPECT_EQ(state().deckKind, core::DeckKind::Review);
    QStringList shownInTurn;
    for (int i = 0; i < 3; ++i) {
        shownInTurn.append(shown() + u' ' + form->counterText());
        form->showEntry();
    }
    EXPECT_EQ(shownInTurn, (QStringList {QStringLiteral("火 1 / 3"), QStringLiteral("水 2 / 3"),
                                         QStringLiteral("山 3 / 3")}));
    // No wrapping: past the last entry the library comes back at its place.
    EXPECT_EQ(state().deckKind, core::DeckKind::Library);
    EXPECT_EQ(shown(), QStringLiteral("小"));
    EXPECT_TRUE(form->counterText().isEmpty());
    EXPECT_TRUE(form->captionText().isEmpty()); // nothing was judged: not done
    EXPECT_TRUE(action(QStringLiteral("添加"))->isEnabled());
    EXPECT_EQ(recorder->sounds().value(0), QStringLiteral("fenling.WAV"));
    EXPECT_TRUE(recorder->messages().isEmpty());
    // Nothing was judged: the three still wait, and the next start says so.
    form.reset();
    start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->captionText() == QStringLiteral("今天有 3 个要复习"); }));
    EXPECT_TRUE(recorder->messages().isEmpty());
}

// Every entry of a review is recorded once, even when the adult goes back to
// it; a judgement taken back may be made again. The last judgement ends the
// review with a caption, and the deck before comes back.
TEST_F(StageRecordTest, AReviewRecordsEachEntryOnceAndEndsWithACaption)
{
    start();
    const QDateTime now = QDateTime::currentDateTime();
    record().judge(gbk(QStringLiteral("山")), false, now.addDays(-5));
    record().judge(gbk(QStringLiteral("火")), false, now.addDays(-10));
    record().flush();
    action(QStringLiteral("复习篇"))->trigger();
    settle();
    type(u'3');          // 火 wrong
    press(Qt::Key_Left); // at the first entry: nothing
    type(u'\r');         // 山
    press(Qt::Key_Left); // 火 again
    type(u' ');          // recorded already in this review: sound only
    takeBack();          // the wrong judgement is taken back
    type(u' ');          // 火 right
    press(Qt::Key_Backspace);
    EXPECT_EQ(shown(), QStringLiteral("火"));
    type(u'\r');
    EXPECT_EQ(form->counterText(), QStringLiteral("2 / 2"));
    recorder->clear();
    type(u' '); // 山 right: the review is done
    EXPECT_EQ(form->captionText(), QStringLiteral("今天的复习完成了！"));
    EXPECT_EQ(state().deckKind, core::DeckKind::Library);
    EXPECT_EQ(shown(), QStringLiteral("大"));
    EXPECT_EQ(recorder->sounds(), QStringList {QStringLiteral("guzhang.WAV")}); // not cut off
    EXPECT_TRUE(recorder->messages().isEmpty());
    EXPECT_EQ(judgements(), (QStringList {QStringLiteral("山 wrong"), QStringLiteral("火 wrong"),
                                          QStringLiteral("火 right"), QStringLiteral("山 right")}));
}

TEST_F(StageRecordTest, NothingDueSaysSoAndKeepsTheDeck)
{
    start();
    type(u' ');
    type(u'\r');
    record().flush();
    recorder->clear();
    action(QStringLiteral("复习篇"))->trigger();
    settle();
    EXPECT_EQ(recorder->messages(), QStringList {QStringLiteral("今天没有要复习的了！")});
    EXPECT_TRUE(recorder->sounds().isEmpty());
    EXPECT_EQ(state().deckKind, core::DeckKind::Library);
    EXPECT_EQ(state().deck.size(), 4);
    EXPECT_EQ(cursor(), 1);
    EXPECT_EQ(shown(), QStringLiteral("小"));
    EXPECT_TRUE(action(QStringLiteral("添加"))->isEnabled());
}

// A record that can't be opened says so once, and the review deck says that
// the record can't be read rather than that nothing is due.
TEST_F(StageRecordTest, ARecordThatCannotBeOpenedSaysSoOnceAndTheStageGoesOn)
{
    // A folder where the file should be: nothing can open it.
    ASSERT_TRUE(QDir().mkpath(recordPath()));
    start();
    type(u' ');
    type(u'\r');
    type(u'5');
    settle();
    EXPECT_EQ(recorder->messages(), QStringList {QStringLiteral("学习记录无法打开，这次的判断不会被记住。")});
    EXPECT_EQ(shown(), QStringLiteral("小"));
    EXPECT_EQ(recorder->sounds().count(QStringLiteral("cuo.wav")), 1);
    action(QStringLiteral("复习篇"))->trigger();
    settle();
    EXPECT_EQ(recorder->messages().value(1), QStringLiteral("学习记录无法读取，不知道今天要复习哪些字。"));
    EXPECT_EQ(recorder->messages().size(), 2); // no second failure
    EXPECT_EQ(state().deckKind, core::DeckKind::Library);
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

// Each child has a record and places of their own; the current child is
// remembered; a deleted child's record is kept aside.
TEST_F(StageRecordTest, EachChildHasTheirOwnRecordAndPlaces)
{
    start();
    auto listed = [&] {
        form->prepareMenu();
        QStringList items;
        for (QAction* item : action(QStringLiteral("孩子"))->menu()->actions())
            items.append(item->isSeparator()
                             ? QStringLiteral("-")
                             : item->text() + (item->isChecked() ? QStringLiteral("*") : QString())
                                   + (item->isEnabled() ? QString() : QStringLiteral("(off)")));
        return items;
    };
    EXPECT_EQ(listed(), (QStringList {QStringLiteral("孩子1*"), QStringLiteral("-"), QStringLiteral("新建…"),
                                      QStringLiteral("改名…"), QStringLiteral("删除…(off)")}));
    type(u' '); // 大 right, for 孩子1
    type(u'\r');
    recorder->textAnswers = {QStringLiteral(" 小明 "), QStringLiteral("小红")};
    action(QStringLiteral("新建…"))->trigger();
    EXPECT_EQ(form->captionText(), QStringLiteral("小明"));
    EXPECT_EQ(shown(), QStringLiteral("大")); // a new child starts at the first entry
    type(u'3');                               // 大 wrong, for 小明
    takeBack();
    type(u'4');
    type(u'\r');
    type(u'\r');         // 多
    form->prepareMenu(); // the menu lists the children as it opens
    action(QStringLiteral("孩子1"))->trigger();
    EXPECT_EQ(shown(), QStringLiteral("小"));
    form->prepareMenu();
    action(QStringLiteral("小明"))->trigger();
    EXPECT_EQ(shown(), QStringLiteral("多"));
    action(QStringLiteral("改名…"))->trigger();
    EXPECT_EQ(listed(),
              (QStringList {QStringLiteral("孩子1"), QStringLiteral("小红*"), QStringLiteral("-"),
                            QStringLiteral("新建…"), QStringLiteral("改名…"), QStringLiteral("删除…")}));
    EXPECT_EQ(judgements(), QStringList {QStringLiteral("大 wrong")});

    action(QStringLiteral("关闭"))->trigger();
    form.reset();
    start();
    EXPECT_EQ(shown(), QStringLiteral("多"));
    EXPECT_EQ(judgements(), QStringList {QStringLiteral("大 wrong")});
    form->prepareMenu();
    recorder->confirmAnswers = {true};
    action(QStringLiteral("删除…"))->trigger();
    EXPECT_EQ(listed().front(), QStringLiteral("孩子1*"));
    EXPECT_EQ(shown(), QStringLiteral("小"));
    EXPECT_EQ(judgements(), QStringList {QStringLiteral("大 right")});
    const QStringList aside = QDir(folder.path(QStringLiteral("database")))
                                  .entryList({QStringLiteral("record-2.sqlite.deleted-*")}, QDir::Files);
    EXPECT_EQ(aside.size(), 1);
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("database/record-2.sqlite"))));
    form.reset();
    start();
    EXPECT_EQ(listed().size(), 5); // 孩子1 alone again
}

// Space sets off stars around the glyphs, part of the window's shape; the
// next step ends them at once, and they end by themselves within 0.8 s.
// Switched off in the settings file, Space shows nothing.
TEST_F(StageRecordTest, ARightAnswerSetsOffStarsThatNeverHoldUpTheNextStep)
{
    for (const bool on : {true, false}) {
        folder.writeSettings(on ? QStringLiteral("[奖励]\nxingxing=1\n")
                                : QStringLiteral("[奖励]\nxingxing=0\n"));
        start();
        const QRegion glyphs = form->shape();
        type(u' ');
        EXPECT_EQ(form->starBurstRunning(), on);
        EXPECT_EQ(form->shape() != glyphs, on);
        EXPECT_TRUE(glyphs.subtracted(form->shape()).isEmpty());
        if (!on)
            continue;

        type(u'\r');
        EXPECT_FALSE(form->starBurstRunning());
        const QRegion nextGlyphs = form->shape();
        for (int i = 0; i < 4; ++i)
            type(u'\r'); // round the four entries to the same one again
        EXPECT_EQ(form->shape(), nextGlyphs);

        type(u' ');
        QTest::qWait(850);
        EXPECT_FALSE(form->starBurstRunning());
        EXPECT_EQ(form->shape(), nextGlyphs);
        form.reset();
    }
}
