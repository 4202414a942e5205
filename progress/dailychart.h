#pragma once

#include "core/recorddatabase.h"

#include <QWidget>

namespace progress {

// Right and wrong judgements per day as pairs of bars, green and red, with
// the day of the month under every fifth pair. Painted directly: thirty
// pairs of bars need no charting library.
class DailyChart : public QWidget {
    Q_OBJECT

public:
    explicit DailyChart(QWidget* parent = nullptr);

    void setDays(QList<core::DayCounts> days);
    const QList<core::DayCounts>& days() const { return m_days; }

    QSize sizeHint() const override { return {760, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<core::DayCounts> m_days;
};

} // namespace progress
