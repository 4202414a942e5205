#include "positionpicker/positionpicker.h"

#include "core/stagestate.h"
#include "platform/dialogframe.h"
#include "platform/guard.h"
#include "positionpicker/decklistmodel.h"
#include "positionpicker/hatchedframe.h"
#include "positionpicker/pickerlist.h"

#include <QKeyEvent>
#include <QPainter>

namespace positionpicker {

namespace {

const QColor kTeal(0, 128, 128);
const QColor kLime(0, 255, 0);

// The picker is 141 x 464 pixels with its frame; its client area leaves the
// hatched frame a 4-pixel margin on three sides.
constexpr QSize kClientSize = platform::dialogClientSize(QSize(141, 464));
constexpr QRect kFramePlace(4, 3, 125, 430);
constexpr QRect kEntryListPlace(9, 8, 113, 417);
constexpr int kRowHeight = 13;
constexpr int kListFontPixels = 11;

bool designatesEntry(core::DeckCursor cursor, qsizetype deckSize)
{
    return cursor >= 0 && cursor < deckSize;
}

} // namespace

PositionPicker::PositionPicker(const core::Deck& deck, core::DeckCursor cursor, QWidget* stage,
                               bool withPinyin)
    : QDialog(stage, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_stage(stage)
{
    setWindowTitle(QStringLiteral("选择"));
    setFixedSize(kClientSize);
    buildControls();
    placeOverStage();
    fillList(deck, cursor, withPinyin);
}

PositionPicker::~PositionPicker() = default;

void PositionPicker::buildControls()
{
    m_frame = new HatchedFrame(kLime, this);
    m_frame->setObjectName(QStringLiteral("frame"));
    m_frame->setGeometry(kFramePlace);

    m_entryList = new PickerList(kRowHeight, this);
    m_entryList->setObjectName(QStringLiteral("entryList"));
    m_entryList->setGeometry(kEntryListPlace);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(kListFontPixels);
    m_entryList->setFont(font);
    m_entryList->setToolTip(QStringLiteral("双击选择该位置"));
    connect(m_entryList, &PickerList::listDoubleClicked, this, &PositionPicker::jumpToChosenEntry);
}

void PositionPicker::placeOverStage()
{
    if (!m_stage)
        return; // Qt centres a dialog without a parent on the screen
    QRect place(QPoint(), kClientSize);
    place.moveCenter(m_stage->geometry().center());
    setGeometry(place);
}

void PositionPicker::fillList(const core::Deck& deck, core::DeckCursor cursor, bool withPinyin)
{
    platform::guarded(this, [this, &deck, cursor, withPinyin] {
        m_entries = new DeckListModel(deck, withPinyin, this);
        m_entryList->setModel(m_entries);
        // A cursor before the first entry (after "0" reached the front) or
        // past the end of a shortened library highlights nothing, and the
        // list shows its top. The view scrolls its current row into view
        // when it is first shown.
        if (designatesEntry(cursor, deck.size()))
            m_entryList->highlight(cursor);
    });
}

void PositionPicker::jumpToChosenEntry()
{
    platform::guarded(this, [this] {
        // The first click of the double-click has highlighted the row under
        // the pointer; a double-click below the rows acts on the highlight.
        const int row = m_entryList->highlightedRow();
        if (row < 0) {
            reject();
            return;
        }
        accept();
        // accept() hides the picker now; exec() returns when this handler
        // is done. The stage jumps and draws the chosen entry at once, as
        // every step, with a new colour and the step cue.
        Q_EMIT entryChosen(row);
    });
}

void PositionPicker::keyPressEvent(QKeyEvent* event)
{
    platform::guarded(this, [this, event] {
        // No cancel key: Esc must not close the picker. (Enter has no
        // default button to press, so the dialog already ignores it.)
        if (event->matches(QKeySequence::Cancel))
            event->accept();
        else
            QDialog::keyPressEvent(event);
    });
}

void PositionPicker::paintEvent(QPaintEvent*)
{
    // Painted rather than set in the palette, which the list and its scroll
    // bar would inherit.
    QPainter(this).fillRect(rect(), kTeal);
}

} // namespace positionpicker
