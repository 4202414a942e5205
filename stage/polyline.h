#pragma once

#include <QList>
#include <QPointF>

// Measures along a polyline: a stroke's centre line or a finger's trace.
namespace stage::polyline {

// The length of the line through `points` in order.
qreal length(const QList<QPointF>& points);

// The first `distance` of the line: its points up to there and the point
// where it ends. All of it when `distance` reaches its length.
QList<QPointF> prefix(const QList<QPointF>& points, qreal distance);

// Where the point of the line nearest to `point` lies: how far along the
// line, and how far from `point`.
struct Nearest {
    qreal along = 0;
    qreal distance = 0;
};
Nearest nearest(const QList<QPointF>& points, QPointF point);

} // namespace stage::polyline
