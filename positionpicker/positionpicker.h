#pragma once

#include "core/stagestate.h"

#include <QDialog>

namespace positionpicker {

class DeckListModel;
class HatchedFrame;
class PickerList;

// The position picker "选择": lists every entry of `deck`, the deck the stage
// shows, with the entry at `cursor` highlighted, and tells the entry the user
// double-clicks (entryChosen), to which the stage then jumps. It has no buttons and no default or cancel key:
// a double-click in the list is its way to close. It closes accepted after a jump and rejected when it closed
// without one (nothing highlighted, or the window manager's close command). It opens centred over `stage`.
// With `withPinyin` each entry's pinyin stands beside it.
class PositionPicker : public QDialog {
    Q_OBJECT

public:
    PositionPicker(const core::Deck& deck, core::DeckCursor cursor, QWidget* stage, bool withPinyin = false);
    ~PositionPicker() override;

Q_SIGNALS:
    // The user chose the entry at `index`; the picker has just closed.
    void entryChosen(qsizetype index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildControls();
    void placeOverStage();
    void fillList(const core::Deck& deck, core::DeckCursor cursor, bool withPinyin);
    void jumpToChosenEntry();

    QWidget* m_stage;
    HatchedFrame* m_frame = nullptr;
    PickerList* m_entryList = nullptr;
    DeckListModel* m_entries = nullptr;
};

} // namespace positionpicker
