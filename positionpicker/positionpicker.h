#pragma once

#include <QDialog>

#include <functional>

namespace positionpicker {

class DeckListModel;
class HatchedFrame;
class PickerList;

// The position picker "选择": lists every entry of the deck the stage shows,
// with the entry now shown highlighted, and jumps the stage to the entry the
// user double-clicks. It has no buttons and no default or cancel key: a
// double-click in the list is its way to close. It closes accepted after a
// jump and rejected when it closed without one (nothing highlighted, or the
// window manager's close command). It opens centred over `stage` and calls
// `showChosenEntry` once the stage's cursor is on the chosen entry.
class PositionPicker : public QDialog {
    Q_OBJECT

public:
    PositionPicker(QWidget* stage, std::function<void()> showChosenEntry);
    ~PositionPicker() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildControls();
    void placeOverStage();
    void fillList();
    void jumpToChosenEntry();

    QWidget* m_stage;
    std::function<void()> m_showChosenEntry;
    HatchedFrame* m_frame = nullptr;
    PickerList* m_entryList = nullptr;
    DeckListModel* m_entries = nullptr;
};

} // namespace positionpicker
