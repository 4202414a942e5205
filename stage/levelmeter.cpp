#include "stage/levelmeter.h"

#include <QPainter>

#include <algorithm>

namespace stage {

LevelMeter::LevelMeter(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("levelMeter"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(160, 14);
}

void LevelMeter::setLevel(qreal level)
{
    m_level = std::clamp(level, 0.0, 1.0);
    update();
}

void LevelMeter::setCapturing(bool capturing)
{
    m_capturing = capturing;
    update();
}

void LevelMeter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(40, 40, 40));
    if (!m_capturing) {
        QFont font = painter.font();
        font.setPixelSize(11);
        painter.setFont(font);
        painter.setPen(QColor(200, 200, 200));
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("准备录音…"));
        return;
    }
    // A red dot says "recording" even in silence.
    painter.setBrush(QColor(220, 30, 30));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(2, 2, 10, 10));
    const int room = width() - 18;
    painter.fillRect(QRect(16, 3, qRound(room * m_level), 8), QColor(60, 200, 60));
}

} // namespace stage
