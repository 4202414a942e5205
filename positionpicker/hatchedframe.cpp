#include "positionpicker/hatchedframe.h"

#include <QPainter>

namespace positionpicker {

HatchedFrame::HatchedFrame(const QColor& hatchColour, QWidget* parent)
    : QWidget(parent)
    , m_hatchColour(hatchColour)
{
}

void HatchedFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(QBrush(m_hatchColour, Qt::DiagCrossPattern));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace positionpicker
