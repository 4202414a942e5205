#pragma once

#include <QElapsedTimer>
#include <QListView>
#include <QString>

namespace positionpicker {

// The picker's list control: a single-selection list of fixed-height rows
// that behaves like the platform's plain list box.
// - A left double-click anywhere in it, on a row or on the empty space below
//   the rows, is reported by listDoubleClicked(); what it acts on is the
//   highlighted row, not the row under the pointer.
// - Clicks and keys move the highlight but never remove it: a click on the
//   empty space or a Ctrl+click leaves the highlighted row highlighted.
// - Only the highlighted row looks marked; with nothing highlighted, the
//   first Up or Down highlights the keyboard cursor's row.
// - Type-ahead behaves as in any item view, but over a deck's rows it looks
//   at the deck's bytes instead of asking the model for every row's text, so
//   a key that matches nothing in a million entries answers at once.
class PickerList : public QListView {
    Q_OBJECT

public:
    PickerList(int rowHeight, QWidget* parent = nullptr);

    // The highlighted row, or -1 when none is.
    int highlightedRow() const;
    // Highlights `row` and makes it current, without scrolling.
    void highlight(int row);

    void keyboardSearch(const QString& search) override;

Q_SIGNALS:
    void listDoubleClicked();

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // What has been typed so far, and when the last key came.
    QString m_typed;
    QElapsedTimer m_lastKey;
};

} // namespace positionpicker
