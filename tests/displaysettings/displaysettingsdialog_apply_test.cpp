// The display settings dialog's "设置" (apply and save) and "离开".
#include "dialogfixture.h"

#include "settings/keys.h"

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
    EXPECT_EQ(fileLines(settingsBytes()),
              QStringList({
                  QStringLiteral("[字体]"),  QStringLiteral("zt=华文楷体"), QStringLiteral("[字体大小]"),
                  QStringLiteral("1=600"),   QStringLiteral("2=400"),       QStringLiteral("3=260"),
                  QStringLiteral("4=105"),   QStringLiteral("5=190"),       QStringLiteral("[字体位置]"),
                  QStringLiteral("x1=100"),  QStringLiteral("x2=-36"),      QStringLiteral("x3=-22"),
                  QStringLiteral("y1=-100"), QStringLiteral("y2=50"),       QStringLiteral("y3=120"),
                  QStringLiteral("x4=0"),    QStringLiteral("y4=100"),      QStringLiteral("x5=0"),
                  QStringLiteral("y5=200"),
              }));
}

TEST_F(ApplyTest, TakesTheFaceAndTheSizesInEveryIntegerSpelling)
{
    open();
    fontBox()->setEditText(QStringLiteral("Default"));
    setSizeTexts({QStringLiteral(" 300"), QStringLiteral("+300"), QStringLiteral("$300"),
                  QStringLiteral("-$10"), QStringLiteral("0x1F")});
    pressApply();

    EXPECT_EQ(current().fontFace, QByteArray("Default"));
    EXPECT_EQ(sizesInKeyOrder(), (std::array<qint32, 5> {300, 300, 768, -16, 31}));
    const QStringList lines = fileLines(settingsBytes());
    for (const char* line : {"zt=Default", "1=300", "2=300", "3=768", "4=-16", "5=31"})
        EXPECT_TRUE(lines.contains(QLatin1StringView(line))) << line;
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ApplyTest, PositionsMovedInAnEarlierVisitAreWrittenToo)
{
    open();
    radio("classFourRadio")->click(); // Four: keys x5, y5
    pressDown(3);
    pressLeave();
    dialog.reset();

    open();
    pressApply();
    EXPECT_TRUE(fileLines(settingsBytes()).contains(QStringLiteral("y5=215")));
}

TEST_F(ApplyTest, AMalformedSizeStopsAfterTheBoxesBeforeItWithNothingWritten)
{
    open();
    fontBox()->setEditText(QStringLiteral("Default"));
    setSizeTexts({QStringLiteral("601"), QStringLiteral("401"), QStringLiteral("2 60"), QStringLiteral("106"),
                  QStringLiteral("191")});
    bool visibleWhileBoxShown = false;
    recorder->onBox = [&](const QString&) { visibleWhileBoxShown = dialog->isVisible(); };
    pressApply();

    EXPECT_EQ(recorder->errors(), QStringList(QStringLiteral("'2 60' is not a valid integer value.")));
    EXPECT_TRUE(visibleWhileBoxShown);
    EXPECT_EQ(current().fontFace, QByteArray("Default"));
    EXPECT_EQ(sizesInKeyOrder(), (std::array<qint32, 5> {601, 401, 260, 105, 190}));
    EXPECT_FALSE(settingsWritten());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(box("sizeThreeBox")->text(), QStringLiteral("2 60"));

    // Corrected, the whole operation runs again.
    box("sizeThreeBox")->setText(QStringLiteral("261"));
    pressApply();
    EXPECT_EQ(sizesInKeyOrder(), (std::array<qint32, 5> {601, 401, 261, 106, 191}));
    EXPECT_TRUE(fileLines(settingsBytes()).contains(QStringLiteral("3=261")));
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ApplyTest, RefusesSizesThatAreNoIntegers)
{
    const QString refused[] = {QStringLiteral("300 "),       QString(),
                               QStringLiteral("+"),          QStringLiteral("1.5"),
                               QStringLiteral("2147483648"), QStringLiteral("３００"),
                               QStringLiteral("3😀")};
    open();
    for (const QString& text : refused) {
        recorder->clear();
        box("sizeOneBox")->setText(text);
        pressApply();
        EXPECT_EQ(recorder->errors(),
                  QStringList(QStringLiteral("'%1' is not a valid integer value.").arg(text)))
            << text.toStdString();
        EXPECT_EQ(current().size(WordClass::One), 600) << text.toStdString();
    }
    EXPECT_FALSE(settingsWritten());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ApplyTest, AnEmptyFontBoxStoresAnEmptyFace)
{
    open();
    fontBox()->setEditText(QString());
    pressApply();
    EXPECT_TRUE(current().fontFace.isEmpty());
    EXPECT_TRUE(fileLines(settingsBytes()).contains(QStringLiteral("zt=")));
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
    core::stageState().settingsFile = std::make_unique<settings::SettingsFile>(unwritable);
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
    displaysettings::DisplaySettingsDialog modal(nullptr);
    QTimer::singleShot(0, &modal, [&] {
        modal.findChild<QLineEdit*>(QStringLiteral("sizeFourBox"))->setText(QStringLiteral("222"));
        QTest::mouseClick(modal.findChild<QToolButton*>(QStringLiteral("applyButton")), Qt::LeftButton);
    });
    modal.exec();
    EXPECT_EQ(current().size(WordClass::Four), 222);
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
    void expectOnlyTheStepKept()
    {
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_FALSE(settingsWritten());
        EXPECT_EQ(current().fontFace, QByteArray(settings::keys::kDefaultFontFace));
        EXPECT_EQ(current().size(WordClass::One), 600);
        EXPECT_EQ(current().position(WordClass::One).y, -105); // not undone
        EXPECT_TRUE(recorder->events.empty());
    }
};

TEST_F(LeaveTest, LeaveWritesNothingAndUndoesNothing)
{
    open();
    editEverything();
    pressLeave();
    expectOnlyTheStepKept();
}

TEST_F(LeaveTest, TheCloseBoxDoesTheSame)
{
    open();
    editEverything();
    dialog->close();
    expectOnlyTheStepKept();
}

} // namespace
