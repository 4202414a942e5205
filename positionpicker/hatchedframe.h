#pragma once

#include <QColor>
#include <QWidget>

namespace positionpicker {

// A rectangle with a thin black outline, filled with a diagonal cross-hatch
// whose gaps let the window's background show through. Pure decoration.
class HatchedFrame : public QWidget {
    Q_OBJECT

public:
    HatchedFrame(const QColor& hatchColour, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_hatchColour;
};

} // namespace positionpicker
