#include "progress/dailychart.h"

#include <QPainter>

#include <algorithm>

namespace progress {

namespace {
const QColor kRightColour(60, 160, 60);
const QColor kWrongColour(210, 80, 70);
const QColor kAxisColour(120, 110, 90);
constexpr int kLabelHeight = 24;
constexpr int kLegendHeight = 26;
} // namespace

DailyChart::DailyChart(QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(600, 200);
}

void DailyChart::setDays(QList<core::DayCounts> days)
{
    m_days = std::move(days);
    update();
}

void DailyChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = this->font();
    font.setPixelSize(15);
    painter.setFont(font);

    // The legend across the top.
    const QRect legend(0, 0, width(), kLegendHeight);
    painter.fillRect(QRect(legend.left() + 4, 6, 14, 14), kRightColour);
    painter.setPen(kAxisColour);
    painter.drawText(QRect(legend.left() + 24, 0, 80, kLegendHeight), Qt::AlignVCenter,
                     QStringLiteral("认对"));
    painter.fillRect(QRect(legend.left() + 94, 6, 14, 14), kWrongColour);
    painter.drawText(QRect(legend.left() + 114, 0, 80, kLegendHeight), Qt::AlignVCenter,
                     QStringLiteral("认错"));

    const QRect plot(0, kLegendHeight + 4, width(), height() - kLegendHeight - 4 - kLabelHeight);
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    if (m_days.isEmpty())
        return;

    int most = 1;
    for (const core::DayCounts& day : m_days)
        most = std::max({most, day.right, day.wrong});
    painter.drawText(QRect(plot.right() - 120, plot.top() - kLegendHeight - 4, 120, kLegendHeight),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("最多 %1 次").arg(most));

    const qreal slot = qreal(plot.width()) / m_days.size();
    const qreal bar = std::max<qreal>(1.0, slot * 0.36);
    for (qsizetype i = 0; i < m_days.size(); ++i) {
        const core::DayCounts& day = m_days[i];
        const qreal left = plot.left() + i * slot + slot * 0.14;
        const qreal rightHeight = qreal(plot.height()) * day.right / most;
        const qreal wrongHeight = qreal(plot.height()) * day.wrong / most;
        painter.fillRect(QRectF(left, plot.bottom() - rightHeight, bar, rightHeight), kRightColour);
        painter.fillRect(QRectF(left + bar, plot.bottom() - wrongHeight, bar, wrongHeight), kWrongColour);
        const bool labelled = (m_days.size() - 1 - i) % 5 == 0;
        if (labelled)
            painter.drawText(QRectF(plot.left() + i * slot - slot, plot.bottom() + 2, slot * 3, kLabelHeight),
                             Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("%1日").arg(day.day.day()));
    }
}

} // namespace progress
