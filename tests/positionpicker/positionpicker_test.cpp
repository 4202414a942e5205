// The position picker over a running stage.
#include "positionpicker/positionpicker.h"

#include "core/stagestate.h"
#include "platform/gbk.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QHelpEvent>
#include <QListView>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using positionpicker::PositionPicker;

namespace {

const QString kStepCue = QStringLiteral("xiayige.wav");

// Entries "第0" ... "第<n-1>": distinct, GBK, of mixed lengths.
std::vector<QString> numberedEntries(int count)
{
    std::vector<QString> entries;
    for (int i = 0; i < count; ++i)
        entries.push_back(QStringLiteral("第%1").arg(i));
    return entries;
}

QListView* listOf(QWidget& picker)
{
    return picker.findChild<QListView*>(QStringLiteral("entryList"));
}

int highlightedRow(QListView* list)
{
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

bool rowInView(QListView* list, int row)
{
    const QRect place = list->visualRect(list->model()->index(row, 0));
    return !place.isEmpty() && list->viewport()->rect().contains(place);
}

// Where to click on a row, scrolling it into view first.
QPoint rowPoint(QListView* list, int row)
{
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    return list->visualRect(index).center();
}

// A point of the list below its last row.
QPoint belowTheRows(QListView* list)
{
    return QPoint(list->viewport()->width() / 2, list->viewport()->height() - 3);
}

class PickerTest : public ::testing::Test {
protected:
    void TearDown() override { stageForm.reset(); }

    // Starts the stage on a library of `entries` and steps on until entry
    // `index` shows. Effects recorded so far are forgotten.
    stage::StageWindow& startShowing(const std::vector<QString>& entries, int index)
    {
        folder.writeDeck(QStringLiteral("database/ziku.txt"), entries);
        stageForm = std::make_unique<stage::StageWindow>(windows::stageDialogs());
        stageForm->show(); // draws entry 0
        for (int i = 0; i < index; ++i)
            stageForm->showEntry();
        recorder->clear();
        return *stageForm;
    }

    // Jumps the stage to the chosen entry and draws it, as the stage menu does.
    void wire(PositionPicker& picker)
    {
        QObject::connect(&picker, &PositionPicker::entryChosen, stageForm.get(), [this](qsizetype index) {
            core::jumpTo(stageForm->state(), index);
            stageForm->showEntry();
        });
    }

    QString shown() const { return platform::gbk::decode(stageForm->shownEntry()); }
    qint32 cursor() const { return stageForm->state().cursor; }
    core::StageState& state() { return stageForm->state(); }

    // Runs the picker modally, as the stage menu does, calling `whileOpen`
    // once it is on screen. Returns exec()'s result, or -1 when the picker
    // was still open after ten seconds.
    int runPicker(const std::function<void(PositionPicker&)>& whileOpen)
    {
        PositionPicker picker(state().deck, state().cursor, stageForm.get());
        wire(picker);
        QTimer::singleShot(0, &picker, [&] {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&picker));
            whileOpen(picker);
        });
        QTimer::singleShot(10000, &picker, [&] { picker.done(-1); });
        return picker.exec();
    }

    int doubleClickRow(int row)
    {
        return runPicker([row](PositionPicker& picker) {
            QListView* list = listOf(picker);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowPoint(list, row));
        });
    }

    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
    std::unique_ptr<stage::StageWindow> stageForm;
};

TEST_F(PickerTest, OpensCentredOverTheStageWithTheShowingEntryHighlighted)
{
    startShowing(numberedEntries(40), 7);
    PositionPicker picker(state().deck, state().cursor, stageForm.get());
    wire(picker);
    picker.show();
    QListView* list = listOf(picker);

    EXPECT_EQ(picker.windowTitle(), QStringLiteral("选择"));
    // 141 x 464 with the classic frame (4-pixel borders, 19-pixel caption).
    EXPECT_EQ(picker.windowHandle()->size(), QSize(133, 437));
    EXPECT_EQ(picker.geometry().center(), stageForm->geometry().center());
    ASSERT_EQ(list->model()->rowCount(), 40);
    for (int row : {0, 7, 39})
        EXPECT_EQ(list->model()->index(row, 0).data().toString(), QStringLiteral("第%1").arg(row));
    EXPECT_EQ(highlightedRow(list), 7);
    EXPECT_TRUE(rowInView(list, 7));
    EXPECT_EQ(cursor(), 7); // opening changes nothing
    EXPECT_TRUE(recorder->events.empty());
}

TEST_F(PickerTest, OpensOnAMillionEntriesWithTheShowingOneScrolledIntoView)
{
    startShowing(numberedEntries(3), 0);
    QByteArray text;
    for (int i = 0; i < 1'000'000; ++i)
        text += testing_support::gbk(QStringLiteral("第%1\r\n").arg(i));
    state().deck = core::Deck::fromFileBytes(text);
    state().cursor = 765'432;

    PositionPicker picker(state().deck, state().cursor, stageForm.get());
    wire(picker);
    picker.show();
    QListView* list = listOf(picker);
    ASSERT_EQ(list->model()->rowCount(), 1'000'000);
    EXPECT_EQ(highlightedRow(list), 765'432);
    EXPECT_TRUE(rowInView(list, 765'432));
    EXPECT_EQ(list->currentIndex().data().toString(), QStringLiteral("第765432"));
}

// The style's own drawing of every row, the highlighted one's and the
// others', with the keyboard cursor's tint left out.
class StyledRows : public QStyledItemDelegate {
public:
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 13);
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem unmarked(option);
        if (!(option.state & QStyle::State_Selected))
            unmarked.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, unmarked, index);
    }
};

// The list draws its rows itself, for speed; they must look exactly as the
// style draws them: Chinese, Latin, empty and too long to fit, enabled or
// not.
TEST_F(PickerTest, TheRowsLookExactlyAsTheStyleDrawsThem)
{
    std::vector<QString> entries = {QStringLiteral("大"), QStringLiteral("Abc xyz"), QString(),
                                    QStringLiteral("春夏秋冬日月水火土木金天门"), QStringLiteral("1天")};
    const std::vector<QString> more = numberedEntries(40);
    entries.insert(entries.end(), more.begin(), more.end());
    startShowing(entries, 1);
    PositionPicker picker(state().deck, state().cursor, stageForm.get());
    picker.show();
    picker.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&picker));
    QListView* list = listOf(picker);
    ASSERT_EQ(highlightedRow(list), 1);
    for (const bool enabled : {true, false}) {
        list->setEnabled(enabled);
        const QImage drawn = list->viewport()->grab().toImage();
        QAbstractItemDelegate* own = list->itemDelegate();
        StyledRows styled;
        list->setItemDelegate(&styled);
        const QImage byTheStyle = list->viewport()->grab().toImage();
        list->setItemDelegate(own);
        EXPECT_EQ(drawn, byTheStyle) << (enabled ? "enabled" : "disabled");
    }
}

TEST_F(PickerTest, HighlightsNothingWhenTheCursorDesignatesNoEntry)
{
    startShowing(numberedEntries(40), 0);
    QKeyEvent zero(QEvent::KeyPress, Qt::Key_0, Qt::NoModifier, QStringLiteral("0"));
    QApplication::sendEvent(stageForm.get(), &zero);
    ASSERT_EQ(recorder->messages(), QStringList {QStringLiteral("已到最前面！")});
    ASSERT_EQ(cursor(), -1);
    {
        PositionPicker picker(state().deck, state().cursor, stageForm.get());
        wire(picker);
        picker.show();
        QListView* list = listOf(picker);
        EXPECT_EQ(highlightedRow(list), -1);
        EXPECT_EQ(list->verticalScrollBar()->value(), 0);

        // With the focus the list puts its keyboard cursor on row 0; that
        // row must look like every other row, not highlighted.
        picker.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&picker));
        ASSERT_TRUE(list->hasFocus());
        ASSERT_EQ(list->currentIndex().row(), 0);
        const QImage rows = list->viewport()->grab().toImage();
        const QColor base = list->palette().color(QPalette::Base);
        for (int row : {0, 1}) {
            const QRect place = list->visualRect(list->model()->index(row, 0));
            const QPoint besideText(place.right() - 2, place.center().y());
            EXPECT_EQ(rows.pixelColor(besideText * rows.devicePixelRatio()), base) << "row " << row;
        }

        // The first Down highlights the cursor's row, the next moves on.
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(highlightedRow(list), 0);
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(highlightedRow(list), 1);
    }

    // Past the end, as after the library editor shortened the library.
    state().cursor = 40;
    PositionPicker picker(state().deck, state().cursor, stageForm.get());
    wire(picker);
    picker.show();
    EXPECT_EQ(highlightedRow(listOf(picker)), -1);
    EXPECT_EQ(listOf(picker)->verticalScrollBar()->value(), 0);
    EXPECT_EQ(recorder->messages().size(), 1); // nothing reported
}

TEST_F(PickerTest, DoubleClickingRowZeroShowsTheFirstEntry)
{
    startShowing(numberedEntries(40), 7);
    EXPECT_EQ(doubleClickRow(0), QDialog::Accepted);
    EXPECT_EQ(cursor(), 0);
    EXPECT_EQ(shown(), QStringLiteral("第0"));
    EXPECT_EQ(recorder->sounds(), QStringList {kStepCue});
}

TEST_F(PickerTest, DoubleClickingTheLastRowShowsItAndTheNextStepWraps)
{
    startShowing(numberedEntries(40), 7);
    EXPECT_EQ(doubleClickRow(39), QDialog::Accepted);
    EXPECT_EQ(cursor(), 39);
    EXPECT_EQ(shown(), QStringLiteral("第39"));
    stageForm->showEntry();
    EXPECT_EQ(shown(), QStringLiteral("第0"));
}

TEST_F(PickerTest, DoubleClickingTheShowingRowDrawsItAgainInANewColour)
{
    startShowing(numberedEntries(40), 7);
    ASSERT_EQ(state().settings.colourMode, settings::ColourMode::Random);
    const QColor before = stageForm->windowColour();
    EXPECT_EQ(doubleClickRow(7), QDialog::Accepted);
    EXPECT_EQ(cursor(), 7);
    EXPECT_EQ(shown(), QStringLiteral("第7"));
    EXPECT_NE(stageForm->windowColour(), before);
    EXPECT_EQ(recorder->sounds(), QStringList {kStepCue});
}

TEST_F(PickerTest, TheChosenPositionCountsNotItsText)
{
    const std::vector<QString> entries = {QStringLiteral("大"), QStringLiteral("小"), QStringLiteral("多"),
                                          QStringLiteral("大"), QStringLiteral("少")};
    startShowing(entries, 1);
    EXPECT_EQ(doubleClickRow(3), QDialog::Accepted);
    EXPECT_EQ(cursor(), 3);
    EXPECT_EQ(shown(), QStringLiteral("大"));
    stageForm->showEntry();
    EXPECT_EQ(shown(), QStringLiteral("少"));
}

TEST_F(PickerTest, ListsTheClassicDeckThatIsShowingNotTheLibrary)
{
    folder.writeDeck(QStringLiteral("database/szj.qrnv"),
                     {QStringLiteral("人之初"), QStringLiteral("性本善"), QStringLiteral("性相近")});
    startShowing(numberedEntries(40), 7);
    core::loadDeck(state(), core::DeckKind::ThreeCharacter);
    stageForm->showEntry();
    stageForm->showEntry();

    EXPECT_EQ(doubleClickRow(2), QDialog::Accepted);
    EXPECT_EQ(shown(), QStringLiteral("性相近"));
    PositionPicker picker(state().deck, state().cursor, stageForm.get());
    wire(picker);
    QAbstractItemModel* rows = listOf(picker)->model();
    ASSERT_EQ(rows->rowCount(), 3);
    EXPECT_EQ(rows->index(0, 0).data().toString(), QStringLiteral("人之初"));
    EXPECT_EQ(highlightedRow(listOf(picker)), 2);
}

TEST_F(PickerTest, OnAnEmptyDeckTheListIsEmptyAndADoubleClickChangesNothing)
{
    folder.writeFile(QStringLiteral("database/bjx.qrnv"), {});
    startShowing(numberedEntries(40), 7);
    core::loadDeck(state(), core::DeckKind::Surnames);
    const QByteArray before = stageForm->shownEntry();

    const int result = runPicker([](PositionPicker& picker) {
        QListView* list = listOf(picker);
        EXPECT_EQ(list->model()->rowCount(), 0);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, belowTheRows(list));
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(cursor(), -1);
    EXPECT_EQ(stageForm->shownEntry(), before);
    EXPECT_TRUE(recorder->sounds().isEmpty());
}

TEST_F(PickerTest, ADoubleClickBelowTheRowsActsOnTheHighlightedRow)
{
    startShowing(numberedEntries(5), 2);
    EXPECT_EQ(runPicker([](PositionPicker& picker) {
                  QListView* list = listOf(picker);
                  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, belowTheRows(list));
              }),
              QDialog::Accepted);
    EXPECT_EQ(cursor(), 2);
    EXPECT_EQ(recorder->sounds(), QStringList {kStepCue});

    // With nothing highlighted it only closes.
    state().cursor = -1;
    recorder->clear();
    EXPECT_EQ(runPicker([](PositionPicker& picker) {
                  QListView* list = listOf(picker);
                  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, belowTheRows(list));
              }),
              QDialog::Rejected);
    EXPECT_EQ(cursor(), -1);
    EXPECT_EQ(shown(), QStringLiteral("第2"));
    EXPECT_TRUE(recorder->sounds().isEmpty());
}

TEST_F(PickerTest, ClicksAndKeysOnlyMoveTheHighlight)
{
    startShowing(numberedEntries(5), 2);
    PositionPicker picker(state().deck, state().cursor, stageForm.get());
    wire(picker);
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    QListView* list = listOf(picker);
    QWidget* rows = list->viewport();

    QTest::mouseClick(rows, Qt::LeftButton, {}, rowPoint(list, 3));
    EXPECT_EQ(highlightedRow(list), 3);
    QTest::mouseClick(rows, Qt::LeftButton, Qt::ControlModifier, rowPoint(list, 3));
    EXPECT_EQ(highlightedRow(list), 3);
    QTest::mouseClick(rows, Qt::LeftButton, {}, belowTheRows(list));
    EXPECT_EQ(highlightedRow(list), 3);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(highlightedRow(list), 2);
    QTest::keyClick(list, Qt::Key_End);
    EXPECT_EQ(highlightedRow(list), 4);
    QTest::mouseDClick(rows, Qt::RightButton, {}, rowPoint(list, 1));
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
        QTest::keyClick(list, key);
    QTest::keyClick(&picker, Qt::Key_Escape);

    EXPECT_TRUE(picker.isVisible());
    EXPECT_EQ(cursor(), 2);
    EXPECT_EQ(shown(), QStringLiteral("第2"));
    EXPECT_TRUE(recorder->events.empty());
}

TEST_F(PickerTest, TheWindowManagersCloseCommandChangesNothing)
{
    startShowing(numberedEntries(40), 7);
    EXPECT_EQ(runPicker([](PositionPicker& picker) { picker.close(); }), QDialog::Rejected);
    EXPECT_EQ(cursor(), 7);
    EXPECT_EQ(shown(), QStringLiteral("第7"));
    EXPECT_TRUE(recorder->events.empty());
}

TEST_F(PickerTest, LooksLikeItsForm)
{
    startShowing(numberedEntries(40), 7);
    PositionPicker picker(state().deck, state().cursor, stageForm.get());
    wire(picker);
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    QListView* list = listOf(picker);
    QWidget* frame = picker.findChild<QWidget*>(QStringLiteral("frame"));
    ASSERT_NE(frame, nullptr);

    const Qt::WindowFlags flags = picker.windowFlags();
    EXPECT_TRUE(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint));
    EXPECT_FALSE(flags
                 & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint
                    | Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(frame->geometry(), QRect(4, 3, 125, 430));
    EXPECT_EQ(list->geometry(), QRect(9, 8, 113, 417));
    EXPECT_EQ(list->font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(list->font().pixelSize(), 11);
    EXPECT_EQ(list->visualRect(list->model()->index(0, 0)).height(), 13);
    EXPECT_EQ(list->visualRect(list->model()->index(1, 0)).top(), 13);

    // Teal around the frame, a black outline, lime hatching seen between
    // frame and list.
    const QImage image = picker.grab().toImage();
    EXPECT_EQ(image.pixelColor(1, 1), QColor(0, 128, 128));
    EXPECT_EQ(image.pixelColor(4, 200), QColor(Qt::black));
    int lime = 0;
    int teal = 0;
    for (int y = 20; y < 400; ++y) {
        lime += image.pixelColor(6, y) == QColor(0, 255, 0);
        teal += image.pixelColor(6, y) == QColor(0, 128, 128);
    }
    EXPECT_GT(lime, 20);
    EXPECT_GT(teal, 20);

    // One tooltip over the whole list, on a row and below the rows.
    for (const QPoint& place : {rowPoint(list, 8), belowTheRows(list)}) {
        QToolTip::hideText();
        QHelpEvent hover(QEvent::ToolTip, place, list->viewport()->mapToGlobal(place));
        QApplication::sendEvent(list->viewport(), &hover);
        EXPECT_EQ(QToolTip::text(), QStringLiteral("双击选择该位置"));
    }
    QToolTip::hideText();
}

TEST_F(PickerTest, ARealDoubleClickFromTheDisplayJumps)
{
    if (QGuiApplication::platformName() != u"xcb"
        || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "needs an X display and xdotool";
    startShowing(numberedEntries(40), 7);
    const int result = runPicker([](PositionPicker& picker) {
        QListView* list = listOf(picker);
        const QPoint target = list->viewport()->mapToGlobal(rowPoint(list, 12));
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QString::number(target.x()),
                           QString::number(target.y()), QStringLiteral("click"), QStringLiteral("--repeat"),
                           QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("60"),
                           QStringLiteral("1")});
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(cursor(), 12);
    EXPECT_EQ(shown(), QStringLiteral("第12"));
}

} // namespace

TEST_F(PickerTest, WithThePinyinOnEachRowShowsItsPinyinBesideTheEntry)
{
    startShowing(
        {QStringLiteral("银行"), QStringLiteral("第1"), QStringLiteral("ab"), QStringLiteral("一个")}, 0);
    const struct {
        bool withPinyin;
        QStringList rows;
    } cases[] = {
        {false,
         {QStringLiteral("银行"), QStringLiteral("第1"), QStringLiteral("ab"), QStringLiteral("一个")}},
        {true,
         {QStringLiteral("银行  yín háng"), QStringLiteral("第1  dì"), QStringLiteral("ab"),
          QStringLiteral("一个  yí gè")}},
    };
    for (const auto& expected : cases) {
        PositionPicker picker(state().deck, state().cursor, stageForm.get(), expected.withPinyin);
        QAbstractItemModel* rows = listOf(picker)->model();
        QStringList shownRows;
        for (int row = 0; row < rows->rowCount(); ++row)
            shownRows.append(rows->index(row, 0).data().toString());
        EXPECT_EQ(shownRows, expected.rows) << "with pinyin " << expected.withPinyin;
    }
}
