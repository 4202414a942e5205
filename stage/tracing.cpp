#include "stage/tracing.h"

#include "stage/glyphrenderer.h"
#include "stage/polyline.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace stage {

namespace {

qreal distanceBetween(QPointF a, QPointF b)
{
    return std::hypot(b.x() - a.x(), b.y() - a.y());
}

// Whether every point of `points` lies within `tolerance` of the line `to`.
bool allNear(const QList<QPointF>& points, const QList<QPointF>& to, qreal tolerance)
{
    return std::all_of(points.begin(), points.end(),
                       [&](QPointF point) { return polyline::nearest(to, point).distance <= tolerance; });
}

// The blinks of the next stroke's start after a stray: three, on and off.
constexpr int kBlinkMilliseconds = 180;
constexpr int kBlinkPhases = 6;

// The untraced strokes: the entry's colour, mostly washed out to white.
QColor pale(QColor colour)
{
    constexpr qreal kShare = 0.3;
    auto mix = [](int part) { return int(std::lround(part * kShare + 255 * (1 - kShare))); };
    return QColor(mix(colour.red()), mix(colour.green()), mix(colour.blue()));
}

} // namespace

qreal traceTolerance(qreal emPixels)
{
    constexpr qreal kFewestPixels = 6;
    return std::max(emPixels / 8, kFewestPixels);
}

TraceVerdict judgeTrace(const QList<QPointF>& trace, const QList<QPointF>& median, qreal tolerance)
{
    const qreal travelled = polyline::length(trace);
    if (median.isEmpty() || travelled == 0 || travelled < polyline::length(median) / 2)
        return TraceVerdict::TooShort;
    if (polyline::nearest(median, trace.back()).along < polyline::nearest(median, trace.front()).along)
        return TraceVerdict::Reversed;
    if (distanceBetween(trace.front(), median.front()) > tolerance)
        return TraceVerdict::StartsElsewhere;
    if (distanceBetween(trace.back(), median.back()) > tolerance)
        return TraceVerdict::EndsElsewhere;
    if (!allNear(trace, median, tolerance) || !allNear(median, trace, tolerance))
        return TraceVerdict::Strays;
    return TraceVerdict::Follows;
}

TracingPractice::TracingPractice(EntryStrokes strokes, qreal outlineWidth, QObject* parent)
    : QObject(parent)
    , m_strokes(std::move(strokes))
    , m_outlineWidth(outlineWidth)
    , m_tolerance(traceTolerance(m_strokes.emPixels))
{
    for (const WritingPiece& piece : m_strokes.pieces)
        m_outlined.append(m_outlineWidth > 0 ? withOutline(piece.ink, m_outlineWidth) : piece.ink);
    skipGlyphs();
    m_blinkTimer.setInterval(kBlinkMilliseconds);
    connect(&m_blinkTimer, &QTimer::timeout, this, &TracingPractice::blink);
}

void TracingPractice::skipGlyphs()
{
    // A character without strokes stands whole: there is nothing to trace.
    while (m_next < m_strokes.pieces.size() && !m_strokes.pieces[m_next].isStroke())
        ++m_next;
}

void TracingPractice::press(QPointF at)
{
    if (isDone())
        return;
    m_tracing = true;
    m_trace = {at};
    if (m_blinksLeft > 0) {
        m_blinksLeft = 0;
        m_blinkTimer.stop();
        Q_EMIT changed(blinkArea().toAlignedRect());
    }
}

void TracingPractice::move(QPointF at)
{
    if (!m_tracing)
        return;
    const QPointF from = m_trace.back();
    m_trace.append(at);
    const qreal reach = m_tolerance;
    Q_EMIT changed(QRectF(from, at).normalized().adjusted(-reach, -reach, reach, reach).toAlignedRect());
}

TracingPractice::Outcome TracingPractice::release(QPointF at)
{
    if (!m_tracing)
        return Outcome::Nothing;
    m_tracing = false;
    m_trace.append(at);
    const qreal reach = m_tolerance;
    const QRect traced =
        QPolygonF(m_trace).boundingRect().adjusted(-reach, -reach, reach, reach).toAlignedRect();
    const TraceVerdict verdict = judgeTrace(m_trace, m_strokes.pieces[m_next].median, m_tolerance);
    m_trace.clear();
    Q_EMIT changed(traced);
    if (verdict != TraceVerdict::Follows) {
        m_blinksLeft = kBlinkPhases;
        m_blinkTimer.start();
        Q_EMIT changed(blinkArea().toAlignedRect());
        return Outcome::Strayed;
    }
    Q_EMIT changed(m_outlined[m_next].controlPointRect().toAlignedRect().adjusted(-2, -2, 2, 2));
    ++m_next;
    skipGlyphs();
    return isDone() ? Outcome::FilledTheLast : Outcome::Filled;
}

void TracingPractice::blink()
{
    if (--m_blinksLeft <= 0)
        m_blinkTimer.stop();
    Q_EMIT changed(blinkArea().toAlignedRect());
}

QRectF TracingPractice::blinkArea() const
{
    if (isDone())
        return {};
    const QPointF start = m_strokes.pieces[m_next].median.front();
    const qreal radius = m_tolerance / 2 + m_outlineWidth + 2;
    return QRectF(start - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
}

QRegion TracingPractice::shape(QSize windowSize, qreal ratio) const
{
    const QTransform toDevice = QTransform::fromScale(ratio, ratio);
    QRegion region;
    for (const QPainterPath& outlined : m_outlined)
        region += glyphRegion(toDevice.map(outlined), windowSize);
    return region;
}

void TracingPractice::paint(QPainter& painter, const QRect& exposed, QColor colour,
                            QColor outlineColour) const
{
    const QList<WritingPiece>& pieces = m_strokes.pieces;
    auto shown = [&](qsizetype i) { return m_outlined[i].controlPointRect().intersects(exposed); };
    if (m_outlineWidth > 0) {
        for (qsizetype i = 0; i < pieces.size(); ++i)
            if (shown(i))
                painter.fillPath(m_outlined[i], outlineColour);
    }
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (shown(i)) {
            const bool filled = i < m_next || !pieces[i].isStroke();
            painter.fillPath(pieces[i].ink, filled ? colour : pale(colour));
        }
    }
    if (m_trace.size() > 1) {
        painter.setPen(QPen(colour, m_tolerance / 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(QPolygonF(m_trace));
        painter.setPen(Qt::NoPen);
    }
    if (m_blinksLeft % 2 == 1) {
        const QRectF area = blinkArea();
        const qreal ring = m_outlineWidth + 2;
        painter.setPen(Qt::NoPen);
        painter.setBrush(outlineColour);
        painter.drawEllipse(area);
        painter.setBrush(colour);
        painter.drawEllipse(area.adjusted(ring, ring, -ring, -ring));
        painter.setBrush(Qt::NoBrush);
    }
}

QCursor TracingPractice::brushCursor(QColor colour)
{
    constexpr int kSize = 32;
    const QPointF tip(4, 28);
    QPixmap picture(kSize, kSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn upright with the tip at the origin, then leant to the right.
    painter.translate(tip);
    painter.rotate(45);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(150, 90, 40));
    painter.drawRoundedRect(QRectF(-2.5, -31, 5, 19), 1.5, 1.5);
    QPainterPath hairs(QPointF(0, 0));
    hairs.cubicTo(-4, -4, -4.5, -9, -3.5, -12);
    hairs.lineTo(3.5, -12);
    hairs.cubicTo(4.5, -9, 4, -4, 0, 0);
    painter.setBrush(colour);
    painter.drawPath(hairs);
    painter.end();
    return QCursor(picture, int(tip.x()), int(tip.y()));
}

} // namespace stage
