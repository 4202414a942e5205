#include "positionpicker/pickerlist.h"

#include "positionpicker/decklistmodel.h"
#include "positionpicker/decksearch.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace positionpicker {

namespace {

// Rows of one fixed height, whatever the font's own line height, as the
// platform's list box draws them.
class FixedHeightRows : public QStyledItemDelegate {
public:
    FixedHeightRows(int rowHeight, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_rowHeight(rowHeight)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), m_rowHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        // The style marks the keyboard cursor's row with a light tint that
        // passes for a highlight: only the highlighted row may look marked,
        // and only it needs the style's panel. The other rows are text on
        // the view's own background, drawn here as the style draws it: the
        // style's way of drawing an item took half of the time a key takes
        // when type-ahead jumps far and the whole list is drawn anew.
        if (option.state & QStyle::State_Selected)
            QStyledItemDelegate::paint(painter, option, index);
        else
            paintPlainRow(painter, option, index);
    }

private:
    // The row's text as the style draws an item without a panel, icon or
    // check box: inside the focus frame's margin, centred in the row's
    // height, cut off at the row's edges.
    static void paintPlainRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index)
    {
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
        QPalette::ColorGroup group = QPalette::Disabled;
        if (option.state & QStyle::State_Enabled)
            group = (option.state & QStyle::State_Active) ? QPalette::Normal : QPalette::Inactive;
        painter->save();
        painter->setClipRect(option.rect);
        painter->setFont(option.font);
        painter->setPen(option.palette.color(group, QPalette::Text));
        painter->drawText(option.rect.adjusted(margin, 0, -margin, 0),
                          int(option.displayAlignment) | Qt::TextDontClip | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

    int m_rowHeight;
};

} // namespace

PickerList::PickerList(int rowHeight, QWidget* parent)
    : QListView(parent)
{
    setItemDelegate(new FixedHeightRows(rowHeight, this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height: the view lays out a million rows without
    // asking the model for any of them, and draws only those on screen.
    setUniformItemSizes(true);
    // Long entries are cut off at the right edge, as in a plain list box.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
}

int PickerList::highlightedRow() const
{
    if (!selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void PickerList::highlight(int row)
{
    const QModelIndex index = model()->index(row, 0, rootIndex());
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QItemSelectionModel::SelectionFlags PickerList::selectionCommand(const QModelIndex& index,
                                                                 const QEvent* event) const
{
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags command = QListView::selectionCommand(index, event);
    // Ctrl+click and Ctrl+Space would deselect the row: highlight it instead.
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    return command;
}

void PickerList::keyPressEvent(QKeyEvent* event)
{
    // With nothing highlighted the keyboard cursor is not shown, so the first
    // arrow key highlights its row (the first row) instead of the next one.
    const bool arrow = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    if (arrow && event->modifiers() == Qt::NoModifier && highlightedRow() < 0 && currentIndex().isValid()) {
        highlight(currentIndex().row());
        scrollTo(currentIndex());
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void PickerList::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT listDoubleClicked();
}

} // namespace positionpicker

namespace positionpicker {

// The item view's own type-ahead, step for step: keys typed within the
// keyboard input interval add up to one text; a new text, or one key
// repeated, starts looking at the row after the current one; the first row
// from there on, wrapping round, whose text begins with the typed text
// becomes current. Only the looking is our own.
void PickerList::keyboardSearch(const QString& search)
{
    const auto* deckRows = qobject_cast<const DeckListModel*>(model());
    if (!deckRows) {
        QListView::keyboardSearch(search);
        return;
    }
    const qsizetype rows = deckRows->rowCount();
    if (rows == 0)
        return;

    const QModelIndex current = currentIndex();
    const bool typingOn = m_lastKey.isValid() && !search.isEmpty()
                          && m_lastKey.elapsed() <= QApplication::keyboardInputInterval();
    m_lastKey.start();
    bool skipCurrent = false;
    if (typingOn) {
        m_typed += search;
    } else {
        m_typed = search;
        skipCurrent = current.isValid();
    }
    const bool oneKeyRepeated = m_typed.size() > 1 && m_typed.count(m_typed.back()) == m_typed.size();
    if (oneKeyRepeated)
        skipCurrent = true;

    qsizetype start = current.isValid() ? current.row() : 0;
    if (skipCurrent)
        start = start < rows - 1 ? start + 1 : 0;
    const qsizetype found = findEntryStartingWith(deckRows->deck(), start, m_typed);
    if (found >= 0)
        setCurrentIndex(deckRows->index(static_cast<int>(found)));
}

} // namespace positionpicker
