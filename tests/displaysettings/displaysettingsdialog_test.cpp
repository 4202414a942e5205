// The display settings dialog: what it shows on opening, the arrow pad, the
// key filter of the size boxes and the keyboard.
#include "dialogfixture.h"

#include "platform/fonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QPushButton>
#include <QWindow>

#include <algorithm>
#include <limits>
#include <vector>

using settings::WordClass;

namespace {

constexpr qint32 kMax = std::numeric_limits<qint32>::max();
constexpr qint32 kMin = std::numeric_limits<qint32>::min();

const char* const kBoxNames[] = {"sizeOneBox", "sizeTwoBox", "sizeThreeBox", "sizeManyBox", "sizeFourBox"};

// Texts of the size boxes as the user sees them, top to bottom.
QStringList sizeBoxesTopToBottom(const QWidget& dialog)
{
    std::vector<QLineEdit*> boxes;
    for (const char* name : kBoxNames)
        boxes.push_back(dialog.findChild<QLineEdit*>(QLatin1StringView(name)));
    std::sort(boxes.begin(), boxes.end(), [](QLineEdit* a, QLineEdit* b) { return a->y() < b->y(); });
    QStringList texts;
    for (QLineEdit* box : boxes)
        texts.append(box->text());
    return texts;
}

class OpeningTest : public DialogTest {};

TEST_F(OpeningTest, ShowsTheDefaultSettings)
{
    open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("显示设置"));
    // 369 x 456 with the classic frame (4-pixel borders, 19-pixel caption):
    // the panel at (8, 8) has its margin on every side.
    ASSERT_NE(dialog->windowHandle(), nullptr);
    EXPECT_EQ(dialog->windowHandle()->size(), QSize(361, 429));
    EXPECT_EQ(fontBox()->currentText(), QStringLiteral("华文楷体"));
    EXPECT_EQ(sizeBoxesTopToBottom(*dialog),
              QStringList({QStringLiteral("600"), QStringLiteral("400"), QStringLiteral("260"),
                           QStringLiteral("190"), QStringLiteral("105")}));
    EXPECT_TRUE(radio("classOneRadio")->isChecked());
    EXPECT_EQ(radio("classOneRadio")->text(), QStringLiteral("单字位置设置"));
    EXPECT_EQ(axis(), QStringLiteral("X:"));
    EXPECT_EQ(value(), QStringLiteral("0")); // centred
    EXPECT_TRUE(control<QCheckBox>("outlineBox")->isChecked());
}

TEST_F(OpeningTest, ShowsGivenSettingsInTheirBoxes)
{
    current().fontFace = "NoSuchFace";
    current().size(WordClass::One) = -1;
    current().size(WordClass::Two) = 0;
    current().size(WordClass::Three) = kMax;
    current().size(WordClass::Many) = kMin;
    current().size(WordClass::Four) = 33;
    current().position(WordClass::One).x = -77;
    open();

    // A face that is not installed is shown all the same.
    EXPECT_EQ(fontBox()->currentText(), QStringLiteral("NoSuchFace"));
    EXPECT_EQ(fontBox()->currentIndex(), -1);
    EXPECT_EQ(box("sizeOneBox")->text(), QStringLiteral("-1"));
    EXPECT_EQ(box("sizeTwoBox")->text(), QStringLiteral("0"));
    EXPECT_EQ(box("sizeThreeBox")->text(), QStringLiteral("2147483647"));
    EXPECT_EQ(box("sizeManyBox")->text(), QStringLiteral("-2147483648"));
    EXPECT_EQ(box("sizeFourBox")->text(), QStringLiteral("33"));
    EXPECT_EQ(value(), QStringLiteral("-77"));
    for (const char* name : {"classTwoRadio", "classThreeRadio", "classManyRadio", "classFourRadio"})
        EXPECT_FALSE(radio(name)->isChecked()) << name;
}

TEST_F(OpeningTest, AFaceOfTheListShowsAsStoredAndIsHighlightedInTheList)
{
    const QString face = platform::chineseFontFamilies().value(1);
    if (face.isEmpty())
        GTEST_SKIP() << "no installed face draws Chinese";
    current().fontFace = face.toLower().toLatin1();
    open();
    EXPECT_EQ(fontBox()->currentText(), face.toLower());
    EXPECT_EQ(fontBox()->currentIndex(), 1);
}

// Only faces that draw the common Chinese characters are offered, and the
// shipped face always, first, even after another face was chosen.
TEST_F(OpeningTest, FontBoxOffersTheShippedFaceAndOnlyFacesWithChinese)
{
    current().fontFace = "AR PL UKai CN";
    open();
    QStringList items;
    for (int i = 0; i < fontBox()->count(); ++i)
        items.append(fontBox()->itemText(i));
    EXPECT_EQ(items.value(0), QStringLiteral("华文楷体"));
    EXPECT_FALSE(items.contains(QStringLiteral("DejaVu Sans")));
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese)) {
            EXPECT_TRUE(items.contains(family)) << family.toStdString();
        }
    }
    EXPECT_TRUE(fontBox()->isEditable());
}

// The list is kept between openings but gathered anew when a font comes or
// goes. A copy of an installed font under a new family name plays the font
// that is installed while the program runs.
TEST_F(OpeningTest, FontListFollowsAChangeOfTheInstalledFonts)
{
    QFile source(QStringLiteral("/usr/share/fonts/truetype/arphic-gkai00mp/gkai00mp.ttf"));
    if (!source.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "AR PL KaitiM GB is not installed (fonts-arphic-gkai00mp)";
    QByteArray data = source.readAll();
    const QString oldName = QStringLiteral("AR PL KaitiM GB");
    const QString newName = QStringLiteral("Quenlo Test Kai"); // as long, so the tables keep their sizes
    auto utf16be = [](const QString& text) {
        QByteArray bytes;
        for (QChar c : text)
            bytes.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        return bytes;
    };
    data.replace(oldName.toLatin1(), newName.toLatin1());
    data.replace(utf16be(oldName), utf16be(newName));

    open();
    EXPECT_EQ(fontBox()->findText(newName), -1);
    dialog.reset();

    const int id = QFontDatabase::addApplicationFontFromData(data);
    ASSERT_NE(id, -1);
    open();
    EXPECT_NE(fontBox()->findText(newName), -1);
    dialog.reset();

    QFontDatabase::removeApplicationFont(id);
    open();
    EXPECT_EQ(fontBox()->findText(newName), -1);
}

TEST_F(OpeningTest, EachOpeningStartsFromTheCurrentSettingsWithOneSelected)
{
    open();
    radio("classThreeRadio")->click();
    pressDown();
    dialog.reset();

    open();
    EXPECT_TRUE(radio("classOneRadio")->isChecked());
    EXPECT_EQ(axis(), QStringLiteral("X:"));
    EXPECT_EQ(value(), QStringLiteral("0"));
    EXPECT_EQ(current().position(WordClass::Three).y, 5); // closed without leaving: kept
}

// ---------------------------------------------------------------------------

// The pad over positions written by earlier versions: top-left corners.
class ArrowPadTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        current().placement = settings::Placement::FromTopLeft;
        current().positions = settings::topLeftDefaultPositions();
    }
};

TEST_F(ArrowPadTest, EachButtonMovesTheSelectedClassOnItsAxis)
{
    struct Radio {
        const char* name;
        WordClass wordClass;
    };
    const Radio radios[] = {{"classOneRadio", WordClass::One},
                            {"classTwoRadio", WordClass::Two},
                            {"classThreeRadio", WordClass::Three},
                            {"classManyRadio", WordClass::Many},
                            {"classFourRadio", WordClass::Four}};
    struct Button {
        const char* name;
        const char* axis;
        int dx;
        int dy;
    };
    const Button buttons[] = {{"upButton", "Y:", 0, -5},
                              {"downButton", "Y:", 0, 5},
                              {"leftButton", "X:", -5, 0},
                              {"rightButton", "X:", 5, 0}};
    open();
    for (const Radio& r : radios) {
        radio(r.name)->click();
        for (const Button& b : buttons) {
            const auto before = current().positions;
            press(b.name);
            auto expected = before;
            settings::Position& moved = expected[static_cast<int>(r.wordClass)];
            moved.x += b.dx;
            moved.y += b.dy;
            EXPECT_EQ(current().positions, expected) << r.name << " " << b.name;
            EXPECT_EQ(axis(), QLatin1StringView(b.axis)) << r.name << " " << b.name;
            EXPECT_EQ(value(), QString::number(b.dy ? moved.y : moved.x)) << r.name << " " << b.name;
        }
    }
    EXPECT_FALSE(settingsWritten());
}

TEST_F(ArrowPadTest, TwoPressesUpMoveTwoFrom50To40)
{
    open();
    radio("classTwoRadio")->click();
    pressUp(2);
    EXPECT_EQ(current().position(WordClass::Two).y, 40);
    EXPECT_EQ(axis(), QStringLiteral("Y:"));
    EXPECT_EQ(value(), QStringLiteral("40"));

    // Leaving puts it back; the file is not written.
    pressLeave();
    EXPECT_EQ(current().position(WordClass::Two).y, 50);
    EXPECT_FALSE(settingsWritten());
}

// 居中 puts the selected class back in the middle; over top-left corners
// written by earlier versions every class is centred from then on.
TEST_F(ArrowPadTest, CentreCentresEveryClassOverOldPositionsThenOnlyTheSelectedOne)
{
    open();
    press("centreButton");
    EXPECT_EQ(current().placement, settings::Placement::FromCentre);
    EXPECT_EQ(current().positions, decltype(current().positions) {});
    EXPECT_EQ(value(), QStringLiteral("0"));
    radio("classTwoRadio")->click();
    pressRight(2);
    radio("classOneRadio")->click();
    pressUp();
    press("centreButton");
    EXPECT_EQ(current().position(WordClass::One), settings::Position {});
    EXPECT_EQ(current().position(WordClass::Two), (settings::Position {10, 0}));
    pressApply();
    EXPECT_TRUE(settingsBytes().contains("jz=1"));
}

// Changes show on the stage while the dialog is open; leaving puts back what
// it opened with, saving keeps them.
TEST_F(ArrowPadTest, ChangesShowAtOnceAndLeavingPutsThemBack)
{
    const settings::StageSettings opening = current();
    recorder->colourAnswers = {QColor(10, 20, 30)};
    open();
    QTest::keyClick(box("sizeTwoBox"), Qt::Key_Backspace); // 40: a size the stage can draw
    control<QCheckBox>("outlineBox")->click();
    control<QPushButton>("backdropColourButton")->click();
    pressDown();
    EXPECT_EQ(current().size(WordClass::Two), 40);
    EXPECT_FALSE(current().outline);
    EXPECT_EQ(current().backdropColour, settings::rgb(10, 20, 30));
    EXPECT_EQ(current().position(WordClass::One).y, -95);
    // The chooser opened at the backdrop colour in force.
    EXPECT_EQ(recorder->texts(testing_support::RecordingEffects::Kind::ColourChooser),
              QStringList(QColor(244, 240, 232).name()));
    QTest::keyClick(box("sizeTwoBox"), Qt::Key_Backspace); // 4: too small, not shown
    EXPECT_EQ(current().size(WordClass::Two), 40);

    pressLeave();
    EXPECT_EQ(current().sizes, opening.sizes);
    EXPECT_EQ(current().positions, opening.positions);
    EXPECT_TRUE(current().outline);
    EXPECT_EQ(current().backdropColour, opening.backdropColour);
}

TEST_F(ArrowPadTest, TwentyOnePressesLeftTakeOneFrom100ToMinus5)
{
    open();
    pressLeft(21);
    EXPECT_EQ(current().position(WordClass::One).x, -5);
    EXPECT_EQ(value(), QStringLiteral("-5"));
}

TEST_F(ArrowPadTest, AnotherRadioButtonKeepsTheShownValueUntilTheNextPress)
{
    open();
    pressRight();
    EXPECT_EQ(axis(), QStringLiteral("X:"));
    EXPECT_EQ(value(), QStringLiteral("105"));

    radio("classThreeRadio")->click();
    EXPECT_EQ(axis(), QStringLiteral("X:"));
    EXPECT_EQ(value(), QStringLiteral("105"));

    pressRight();
    EXPECT_EQ(value(), QStringLiteral("-17")); // Three's x was -22
    EXPECT_EQ(current().position(WordClass::One).x, 105);
}

TEST_F(ArrowPadTest, StepsStopAtTheEndsOfTheIntegerRange)
{
    current().position(WordClass::One) = {kMax - 2, kMin + 3};
    open();
    pressRight();
    EXPECT_EQ(current().position(WordClass::One).x, kMax);
    pressRight();
    EXPECT_EQ(value(), QStringLiteral("2147483647"));
    pressLeft();
    EXPECT_EQ(current().position(WordClass::One).x, kMax - 5);

    pressUp(2);
    EXPECT_EQ(current().position(WordClass::One).y, kMin);
    EXPECT_EQ(value(), QStringLiteral("-2147483648"));
    pressDown();
    EXPECT_EQ(current().position(WordClass::One).y, kMin + 5);
}

// ---------------------------------------------------------------------------

class SizeBoxKeysTest : public DialogTest {};

TEST_F(SizeBoxKeysTest, TypedLettersAreDroppedAndEverythingElseGoesIn)
{
    open();
    for (const char* name : kBoxNames) {
        QLineEdit* sizeBox = box(name);
        sizeBox->clear();
        QTest::keyClicks(sizeBox, QStringLiteral("a1Z-. $z+;"));
        EXPECT_EQ(sizeBox->text(), QStringLiteral("1-. $+;")) << name;

        // Characters beyond ASCII, and the editing keys, still work.
        QTest::sendKeyEvent(QTest::Click, sizeBox, Qt::Key_unknown, QStringLiteral("五"), Qt::NoModifier);
        QTest::keyClick(sizeBox, Qt::Key_Backspace);
        QTest::keyClick(sizeBox, Qt::Key_Backspace);
        EXPECT_EQ(sizeBox->text(), QStringLiteral("1-. $+")) << name;
    }
}

TEST_F(SizeBoxKeysTest, ShortcutsWithLettersStillWork)
{
    open();
    QLineEdit* sizeBox = box("sizeTwoBox");
    QTest::keyClick(sizeBox, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(sizeBox->selectedText(), QStringLiteral("400"));
}

TEST_F(SizeBoxKeysTest, PastedTextIsNotFiltered)
{
    open();
    QApplication::clipboard()->setText(QStringLiteral("12ab"));
    QLineEdit* sizeBox = box("sizeThreeBox");
    sizeBox->clear();
    sizeBox->paste();
    EXPECT_EQ(sizeBox->text(), QStringLiteral("12ab"));
}

// ---------------------------------------------------------------------------

class DialogKeyboardTest : public DialogTest {
protected:
    // The widget that has the focus after each Tab from the first size box;
    // the six buttons never take it.
    QStringList tabRound(int presses)
    {
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        box("sizeOneBox")->setFocus();
        QStringList names;
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // The font box's line edit stands for the font box.
            while (focus && focus->objectName().isEmpty())
                focus = focus->parentWidget();
            names.append(focus ? focus->objectName() : QString());
        }
        return names;
    }
};

TEST_F(DialogKeyboardTest, TabVisitsTheSizeBoxesTheSelectedRadioButtonAndTheFontBox)
{
    open();
    EXPECT_EQ(tabRound(9), QStringList({QStringLiteral("sizeTwoBox"), QStringLiteral("sizeThreeBox"),
                                        QStringLiteral("sizeManyBox"), QStringLiteral("sizeFourBox"),
                                        QStringLiteral("classOneRadio"), QStringLiteral("fontBox"),
                                        QStringLiteral("starBurstBox"), QStringLiteral("outlineBox"),
                                        QStringLiteral("sizeOneBox")}));

    QTest::mouseClick(radio("classManyRadio"), Qt::LeftButton);
    EXPECT_EQ(tabRound(6), QStringList({QStringLiteral("sizeTwoBox"), QStringLiteral("sizeThreeBox"),
                                        QStringLiteral("sizeManyBox"), QStringLiteral("sizeFourBox"),
                                        QStringLiteral("classManyRadio"), QStringLiteral("fontBox")}));
}

TEST_F(DialogKeyboardTest, EnterPressesNothingAndEscLeaves)
{
    open();
    const int faces = fontBox()->count();
    QTest::keyClicks(box("sizeOneBox"), QStringLiteral("9")); // 6009: out of range, not shown
    for (QWidget* target : std::initializer_list<QWidget*> {box("sizeOneBox"), fontBox(),
                                                            radio("classOneRadio"), dialog.get()}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(target, key);
    }
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(fontBox()->count(), faces); // Enter added nothing to the list
    QTest::keyClick(box("sizeOneBox"), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(current().size(WordClass::One), 600);
    EXPECT_FALSE(settingsWritten());
}

} // namespace
