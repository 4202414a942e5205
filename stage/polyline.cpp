#include "stage/polyline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace stage::polyline {

namespace {

qreal distanceBetween(QPointF a, QPointF b)
{
    return std::hypot(b.x() - a.x(), b.y() - a.y());
}

} // namespace

qreal length(const QList<QPointF>& points)
{
    qreal total = 0;
    for (qsizetype i = 1; i < points.size(); ++i)
        total += distanceBetween(points[i - 1], points[i]);
    return total;
}

QList<QPointF> prefix(const QList<QPointF>& points, qreal distance)
{
    QList<QPointF> result;
    if (points.isEmpty())
        return result;
    result.append(points.front());
    qreal left = distance;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const qreal segment = distanceBetween(points[i - 1], points[i]);
        if (segment >= left) {
            if (left > 0)
                result.append(points[i - 1] + (points[i] - points[i - 1]) * (left / segment));
            return result;
        }
        left -= segment;
        result.append(points[i]);
    }
    return result;
}

Nearest nearest(const QList<QPointF>& points, QPointF point)
{
    if (points.isEmpty())
        return {0, std::numeric_limits<qreal>::infinity()};
    Nearest best {0, distanceBetween(points.front(), point)};
    qreal start = 0;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QPointF a = points[i - 1];
        const QPointF segment = points[i] - a;
        const qreal squared = QPointF::dotProduct(segment, segment);
        const qreal segmentLength = std::sqrt(squared);
        qreal t = squared > 0 ? QPointF::dotProduct(point - a, segment) / squared : 0;
        t = std::clamp(t, qreal(0), qreal(1));
        const qreal distance = distanceBetween(a + segment * t, point);
        if (distance < best.distance)
            best = {start + t * segmentLength, distance};
        start += segmentLength;
    }
    return best;
}

} // namespace stage::polyline
