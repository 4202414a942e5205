#include "stage/starburst.h"

#include <QPolygonF>
#include <QTransform>
#include <QtMath>

#include <algorithm>

namespace stage {

namespace {

constexpr int kStarCount = 8;
constexpr int kPoints = 5;
// A frame every 40 ms: smooth enough for a child, and few enough reshapes
// of the window for a slow X server.
constexpr std::chrono::milliseconds kFrameInterval {40};

QPolygonF star(qreal outerRadius)
{
    QPolygonF points;
    for (int i = 0; i < 2 * kPoints; ++i) {
        const qreal radius = i % 2 ? outerRadius * 0.45 : outerRadius;
        const qreal angle = -M_PI / 2 + i * M_PI / kPoints;
        points << QPointF(radius * qCos(angle), radius * qSin(angle));
    }
    return points;
}

} // namespace

QPainterPath starsAround(const QRectF& glyphs, qreal progress)
{
    QPainterPath stars;
    stars.setFillRule(Qt::WindingFill);
    if (glyphs.isEmpty() || progress < 0 || progress >= 1)
        return stars;
    // Big enough to see beside a 600 pt glyph, never bigger than the glyph.
    const qreal fullRadius = std::clamp(std::min(glyphs.width(), glyphs.height()) * 0.12, 10.0, 70.0);
    const qreal radius = fullRadius * std::sqrt(1 - progress);
    const qreal spread = 1 + 0.35 * progress;
    const qreal ringX = (glyphs.width() / 2 + fullRadius) * spread;
    const qreal ringY = (glyphs.height() / 2 + fullRadius) * spread;
    const QPolygonF shape = star(radius);
    for (int i = 0; i < kStarCount; ++i) {
        const qreal angle = 2 * M_PI * i / kStarCount + M_PI / kStarCount;
        QTransform place;
        place.translate(glyphs.center().x() + ringX * qCos(angle), glyphs.center().y() + ringY * qSin(angle));
        place.rotate(90 * progress);
        stars.addPolygon(place.map(shape));
        stars.closeSubpath();
    }
    return stars;
}

StarBurst::StarBurst(QObject* parent)
    : QObject(parent)
{
    m_frameTimer.setInterval(kFrameInterval);
    connect(&m_frameTimer, &QTimer::timeout, this, &StarBurst::nextFrame);
}

void StarBurst::start(const QRectF& glyphs)
{
    m_glyphs = glyphs;
    m_clock.start();
    m_frameTimer.start();
    Q_EMIT frameChanged();
}

void StarBurst::stop()
{
    m_frameTimer.stop();
}

QPainterPath StarBurst::stars() const
{
    if (!isRunning())
        return {};
    return starsAround(m_glyphs, qreal(m_clock.elapsed()) / kDuration.count());
}

void StarBurst::nextFrame()
{
    if (m_clock.elapsed() >= kDuration.count())
        m_frameTimer.stop();
    Q_EMIT frameChanged();
}

} // namespace stage
