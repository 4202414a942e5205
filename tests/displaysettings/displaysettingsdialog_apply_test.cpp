// The display settings dialog's "设置" (apply and save) and "离开".
#include "dialogfixture.h"

#include "settings/keys.h"

#include <QCheckBox>
#include <QDir>
#include <QTimer>

using settings::WordClass;

namespace {

// The key=value lines of a settings file, in file order, with the section
// lines as "[name]".
QStringList fileLines(const QByteArray& bytes)
{
    QStringList lines;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines.append(testing_support::gbkDecode(trimmed));
    }
    return lines;
}

class ApplyTest : public DialogTest {
protected:
    void setSizeTexts(const QStringList& texts)
    {
        const char* names[] = {"sizeOneBox", "sizeTwoBox", "sizeThreeBox", "sizeManyBox", "sizeFourBox"};
        for (int i = 0; i < 5; ++i)
            box(names[i])->setText(texts[i]);
    }

    std::array<qint32, 5> sizesInKeyOrder() const
    {
        return {current().size(WordClass::One), current().size(WordClass::Two),
                current().size(WordClass::Three), current().size(WordClass::Many),
                current().size(WordClass::Four)};
    }
};

TEST_F(ApplyTest, WritesTheSixteenKeysInOrderAndCloses)
{
    open();
    pressApply();

    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(recorder->errors().isEmpty());
    // A new file holds its sections and keys in the order they were written.
    EXPECT_EQ(fileLines(settingsBytes()), QStringList({
                                              QStringLiteral("[字体]"),
                                              QStringLiteral("zt=华文楷体"),
                                              QStringLiteral("[字体大小]"),
                                              QStringLiteral("1=600"),
                                              QStringLiteral("2=400"),
                                              QStringLiteral("3=260"),
                                              QStringLiteral("4=105"),
                                              QStringLiteral("5=190"),
                                              QStringLiteral("[字体位置]"),
                                              QStringLiteral("x1=0"),
                                              QStringLiteral("x2=0"),
                                              QStringLiteral("x3=0"),
                                              QStringLiteral("y1=0"),
                                              QStringLiteral("y2=0"),
                                              QStringLiteral("y3=0"),
                                              QStringLiteral("x4=0"),
                                              QStringLiteral("y4=0"),
                                              QStringLiteral("x5=0"),
                                              QStringLiteral("y5=0"),
                                              QStringLiteral("jz=1"),
                                              QStringLiteral("[颜色]"),
                                              QStringLiteral("miaobian=1"),
                                              QStringLiteral("mubuse=$00E8F0F4"),
                                          }));
}

TEST_F(ApplyTest, TakesTheFaceAndTheSizesInEveryIntegerSpelling)
{
    open();
    setSizeTexts({QStringLiteral(" 300"), QStringLiteral("+300"), QStringLiteral("$300"),
                  QStringLiteral("$12"), QStringLiteral("0x1F")});
    pressApply();

    EXPECT_EQ(sizesInKeyOrder(), (std::array<qint32, 5> {300, 300, 768, 18, 31}));
    const QStringList lines = fileLines(settingsBytes());
    for (const char* line : {"zt=华文楷体", "1=300", "2=300", "3=768", "4=18", "5=31"})
        EXPECT_TRUE(lines.contains(QString::fromUtf8(line))) << line;
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ApplyTest, PositionsMovedInAVisitLeftWithoutSavingAreNotWritten)
{
    open();
    radio("classFourRadio")->click(); // Four: keys x5, y5
    pressDown(3);
    pressLeave();
    dialog.reset();

    open();
    radio("classFourRadio")->click();
    pressDown();
    pressApply();
    EXPECT_TRUE(fileLines(settingsBytes()).contains(QStringLiteral("y5=5")));
}

// A field the stage could not use stops "设置" with a Chinese message that
// names it, before anything changes or is written; corrected, it runs.
TEST_F(ApplyTest, RefusesEveryInvalidFieldInChineseWithNothingChanged)
{
    struct Case {
        const char* box;
        QString text;
        QString face;
        QString message;
    };
    const QString kai = QStringLiteral("华文楷体");
    const auto wrongSize = [](const char16_t* name, const QString& text) {
        return QStringLiteral("%1的字体大小“%2”不对：请填 12 到 2000 之间的整数。")
            .arg(QString::fromUtf16(name), text);
    };
    const Case cases[] = {
        {"sizeOneBox", QStringLiteral("0"), kai, wrongSize(u"单字", QStringLiteral("0"))},
        {"sizeOneBox", QStringLiteral("11"), kai, wrongSize(u"单字", QStringLiteral("11"))},
        {"sizeThreeBox", QStringLiteral("2001"), kai, wrongSize(u"三字", QStringLiteral("2001"))},
        {"sizeThreeBox", QStringLiteral("2 60"), kai, wrongSize(u"三字", QStringLiteral("2 60"))},
        {"sizeManyBox", QStringLiteral("-$10"), kai, wrongSize(u"多字", QStringLiteral("-$10"))},
        {"sizeFourBox", QStringLiteral("３００"), kai, wrongSize(u"四字", QStringLiteral("３００"))},
        {"sizeTwoBox", QStringLiteral("300 "), kai, wrongSize(u"双字", QStringLiteral("300 "))},
        {"sizeTwoBox", QString(), kai, QStringLiteral("请填写双字的字体大小：12 到 2000 之间的整数。")},
        {"sizeTwoBox", QStringLiteral("400"), QString(), QStringLiteral("请选择一种字体。")},
        {"sizeTwoBox", QStringLiteral("400"), QStringLiteral("DejaVu Sans"),
         QStringLiteral("字体“DejaVu Sans”不在列表里：请从列表中选择一种能显示汉字的字体。")},
    };
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        recorder->clear();
        const QString before = box(c.box)->text();
        box(c.box)->setText(c.text);
        fontBox()->setEditText(c.face);
        pressApply();
        EXPECT_EQ(recorder->messages(), QStringList(c.message));
        EXPECT_TRUE(recorder->errors().isEmpty());
        EXPECT_EQ(sizesInKeyOrder(), (std::array<qint32, 5> {600, 400, 260, 105, 190}));
        EXPECT_EQ(current().fontFace, QByteArray(settings::keys::kDefaultFontFace));
        EXPECT_FALSE(settingsWritten());
        EXPECT_TRUE(dialog->isVisible());
        box(c.box)->setText(before);
    }
    fontBox()->setEditText(kai);
    box("sizeThreeBox")->setText(QStringLiteral("261"));
    pressApply();
    EXPECT_TRUE(fileLines(settingsBytes()).contains(QStringLiteral("3=261")));
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ApplyTest, RefusesAFaceThatGbkCannotHoldBeforeChangingAnything)
{
    open();
    fontBox()->setEditText(QStringLiteral("楷体😀"));
    box("sizeOneBox")->setText(QStringLiteral("700"));
    pressApply();

    ASSERT_EQ(recorder->messages().size(), 1);
    EXPECT_TRUE(recorder->messages().front().contains(QStringLiteral("😀")));
    EXPECT_TRUE(recorder->errors().isEmpty());
    EXPECT_EQ(current().fontFace, QByteArray(settings::keys::kDefaultFontFace));
    EXPECT_EQ(current().size(WordClass::One), 600);
    EXPECT_FALSE(settingsWritten());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ApplyTest, KeepsTheBytesOfAnUntouchedFaceThatIsNotGbk)
{
    current().fontFace = QByteArray("Kai\xFF");
    open();
    pressApply();
    EXPECT_TRUE(recorder->messages().isEmpty());
    EXPECT_EQ(current().fontFace, QByteArray("Kai\xFF"));
    EXPECT_TRUE(settingsBytes().contains(QByteArray("zt=Kai\xFF")));
}

TEST_F(ApplyTest, AFailedWriteIsShownAndKeepsTheDialogOpen)
{
    const QString unwritable = folder.path(QStringLiteral("missing/qrnv.ini"));
    state.settingsFile = std::make_unique<settings::SettingsFile>(unwritable);
    open();
    box("sizeTwoBox")->setText(QStringLiteral("444"));
    pressApply();

    EXPECT_EQ(
        recorder->errors(),
        QStringList(QStringLiteral("Unable to write to %1.").arg(QDir::toNativeSeparators(unwritable))));
    EXPECT_EQ(current().size(WordClass::Two), 444);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ApplyTest, WorksInsideTheModalLoopAsTheStageMenuRunsIt)
{
    displaysettings::DisplaySettingsDialog modal(state.settings, *state.settingsFile, nullptr);
    QTimer::singleShot(0, &modal, [&] {
        modal.findChild<QLineEdit*>(QStringLiteral("sizeFourBox"))->setText(QStringLiteral("222"));
        QTest::mouseClick(modal.findChild<QToolButton*>(QStringLiteral("applyButton")), Qt::LeftButton);
    });
    modal.exec();
    EXPECT_EQ(modal.stageSettings().size(WordClass::Four), 222);
    EXPECT_TRUE(fileLines(settingsBytes()).contains(QStringLiteral("5=222")));
}

// ---------------------------------------------------------------------------

class LeaveTest : public DialogTest {
protected:
    void editEverything()
    {
        fontBox()->setEditText(QStringLiteral("Default"));
        box("sizeOneBox")->setText(QStringLiteral("1"));
        box("sizeManyBox")->setText(QStringLiteral("junk"));
        pressUp();
    }
    void expectEverythingPutBack()
    {
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_FALSE(settingsWritten());
        EXPECT_EQ(current().fontFace, QByteArray(settings::keys::kDefaultFontFace));
        EXPECT_EQ(current().size(WordClass::One), 600);
        EXPECT_EQ(current().position(WordClass::One).y, 0); // put back
        EXPECT_TRUE(recorder->events.empty());
    }
};

TEST_F(LeaveTest, LeaveWritesNothingAndPutsEverythingBack)
{
    open();
    editEverything();
    pressLeave();
    expectEverythingPutBack();
}

TEST_F(LeaveTest, TheCloseBoxDoesTheSame)
{
    open();
    editEverything();
    dialog->close();
    expectEverythingPutBack();
}

} // namespace

namespace {

// The stars' check box is its own key: written as it changes, whatever
// button closes the dialog.
TEST_F(ApplyTest, TheStarsCheckBoxWritesItsOwnKeyAtOnce)
{
    open();
    QCheckBox* stars = control<QCheckBox>("starBurstBox");
    ASSERT_TRUE(stars->isChecked());
    stars->click();
    EXPECT_FALSE(current().starBurst);
    EXPECT_EQ(fileLines(settingsBytes()),
              (QStringList {QStringLiteral("[奖励]"), QStringLiteral("xingxing=0")}));
    stars->click();
    pressLeave();
    EXPECT_TRUE(current().starBurst);
    EXPECT_EQ(fileLines(settingsBytes()),
              (QStringList {QStringLiteral("[奖励]"), QStringLiteral("xingxing=1")}));
}

} // namespace
