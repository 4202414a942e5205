#include "stage/strokeanimation.h"

#include "core/strokedata.h"
#include "stage/glyphrenderer.h"
#include "stage/polyline.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <utility>

namespace stage {

namespace {

// The brush is a fifth of the character wide: wider than any stroke of the
// data, so that its path covers the stroke it writes.
constexpr qreal kBrushWidthInEm = 0.2;

// About 60 frames a second; each frame shows the ink as it will be when the
// frame reaches the screen.
constexpr int kFrameMilliseconds = 16;

// Twice the area enclosed by the path's first contour, signed by its
// direction.
qreal signedArea(const QPainterPath& path)
{
    const QList<QPolygonF> polygons = path.toSubpathPolygons();
    if (polygons.isEmpty())
        return 0;
    const QPolygonF& polygon = polygons.front();
    qreal area = 0;
    for (qsizetype i = 0; i < polygon.size(); ++i) {
        const QPointF a = polygon[i];
        const QPointF b = polygon[(i + 1) % polygon.size()];
        area += a.x() * b.y() - b.x() * a.y();
    }
    return area;
}

// One stroke as the stage draws it. Every stroke runs the same way round,
// so that strokes that cross unite under the winding rule instead of
// cancelling.
WritingPiece strokePiece(const core::Stroke& stroke, const core::StrokeBoxMapping& mapping, qreal bolder)
{
    QPainterPath outline;
    core::appendOutline(outline, stroke.outline, mapping);
    if (signedArea(outline) < 0)
        outline = outline.toReversed();
    QPainterPath ink = emboldened(outline, bolder);
    ink.setFillRule(Qt::WindingFill);
    return {ink, core::mappedMedian(stroke, mapping)};
}

// The part of the entry's glyphs that stands in one character's cell.
WritingPiece glyphPiece(const QPainterPath& glyphs, const QRectF& cell)
{
    const QRectF column(cell.left(), cell.top() - cell.height(), cell.width(), 3 * cell.height());
    QPainterPath area;
    area.addRect(column);
    return {glyphs.intersected(area), {}};
}

QPainterPath brushPath(const QList<QPointF>& median, qreal brushWidth, qreal fraction)
{
    const QList<QPointF> way = polyline::prefix(median, fraction * polyline::length(median));
    if (way.size() < 2)
        return {};
    QPainterPath centre(way.front());
    for (qsizetype i = 1; i < way.size(); ++i)
        centre.lineTo(way[i]);
    QPainterPathStroker brush;
    brush.setWidth(brushWidth);
    brush.setCapStyle(Qt::RoundCap);
    brush.setJoinStyle(Qt::RoundJoin);
    return brush.createStroke(centre);
}

QPainterPath outlinedOrAsIs(const QPainterPath& ink, qreal outlineWidth)
{
    return outlineWidth > 0 ? withOutline(ink, outlineWidth) : ink;
}

} // namespace

bool EntryStrokes::hasStrokes() const
{
    return std::any_of(pieces.begin(), pieces.end(),
                       [](const WritingPiece& piece) { return piece.isStroke(); });
}

EntryStrokes entryStrokes(const QString& text, const QFont& font, const EntryLayout& layout,
                          const core::StrokeData& data)
{
    const QList<uint> characters = text.toUcs4();
    if (characters.size() != layout.characterCells.size())
        return {};
    EntryStrokes result;
    result.emPixels = font.pixelSize() * layout.scale;
    const qreal baseline = textCell(font).ascent * layout.scale;
    const qreal bolder = emboldenWidth(font) * layout.scale;
    // Where a character without strokes stands among the pieces, and which it is.
    QList<std::pair<qsizetype, qsizetype>> withoutStrokes;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const QRectF& cell = layout.characterCells[i];
        const std::optional<core::CharacterStrokes> strokes = data.strokesOf(characters[i]);
        if (!strokes) {
            withoutStrokes.append({result.pieces.size(), i});
            result.pieces.append(WritingPiece());
            continue;
        }
        const core::StrokeBoxMapping mapping(
            core::glyphEmBox({cell.left(), cell.top() + baseline}, result.emPixels));
        for (const core::Stroke& stroke : strokes->strokes)
            result.pieces.append(strokePiece(stroke, mapping, bolder));
    }
    if (withoutStrokes.size() == characters.size())
        return {};
    // Cut out only where there are strokes to write beside them.
    for (auto it = withoutStrokes.rbegin(); it != withoutStrokes.rend(); ++it) {
        const auto [piece, character] = *it;
        result.pieces[piece] = glyphPiece(layout.glyphs, layout.characterCells[character]);
        if (result.pieces[piece].ink.isEmpty())
            result.pieces.removeAt(piece); // a space
    }
    return result;
}

StrokeWriting::StrokeWriting(EntryStrokes strokes, QPainterPath wholeEntry)
    : m_strokes(std::move(strokes))
    , m_wholeEntry(std::move(wholeEntry))
    , m_brushWidth(kBrushWidthInEm * m_strokes.emPixels)
{
    for (const WritingPiece& piece : m_strokes.pieces) {
        m_startOf.append(m_duration);
        if (piece.isStroke())
            m_duration += kStrokeMilliseconds;
    }
}

StrokeWriting::Ink StrokeWriting::inkAt(qint64 milliseconds) const
{
    Ink ink;
    if (milliseconds <= 0)
        return ink; // the brush has not come down
    if (milliseconds >= m_duration) {
        ink.finishedPieces = m_strokes.pieces.size();
        ink.done = true;
        return ink;
    }
    for (qsizetype i = 0; i < m_strokes.pieces.size(); ++i) {
        const WritingPiece& piece = m_strokes.pieces[i];
        const qint64 end = m_startOf[i] + (piece.isStroke() ? kStrokeMilliseconds : 0);
        if (end <= milliseconds) {
            ink.finishedPieces = i + 1;
            continue;
        }
        const qreal fraction = qreal(milliseconds - m_startOf[i]) / kStrokeMilliseconds;
        ink.currentPiece = i;
        ink.current = piece.ink.intersected(brushPath(piece.median, m_brushWidth, fraction));
        break;
    }
    return ink;
}

QPainterPath StrokeWriting::pathAt(qint64 milliseconds) const
{
    const Ink ink = inkAt(milliseconds);
    if (ink.done)
        return m_wholeEntry;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (qsizetype i = 0; i < ink.finishedPieces; ++i)
        path.addPath(m_strokes.pieces[i].ink);
    path.addPath(ink.current);
    return path;
}

StrokeAnimation::StrokeAnimation(StrokeWriting writing, qreal outlineWidth, QObject* parent)
    : QObject(parent)
    , m_writing(std::move(writing))
    , m_outlineWidth(outlineWidth)
{
    for (const WritingPiece& piece : m_writing.strokes().pieces) {
        m_outlined.append(outlinedOrAsIs(piece.ink, m_outlineWidth));
        m_bounds.append(m_outlined.back().controlPointRect());
    }
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kFrameMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &StrokeAnimation::nextFrame);
}

void StrokeAnimation::start()
{
    m_clock.start();
    m_timer.start();
    showAt(kFrameMilliseconds);
}

void StrokeAnimation::nextFrame()
{
    showAt(m_clock.elapsed() + kFrameMilliseconds);
}

void StrokeAnimation::showAt(qint64 milliseconds)
{
    const qsizetype finishedBefore = m_ink.finishedPieces;
    m_ink = m_writing.inkAt(milliseconds);
    if (m_ink.done) {
        m_timer.stop();
        Q_EMIT finished();
        return;
    }
    m_currentOutlined = outlinedOrAsIs(m_ink.current, m_outlineWidth);
    const qsizetype last = m_ink.currentPiece >= 0 ? m_ink.currentPiece : m_ink.finishedPieces - 1;
    Q_EMIT frameShown(piecesBounds(std::min(finishedBefore, last), last));
}

QRect StrokeAnimation::piecesBounds(qsizetype first, qsizetype last) const
{
    QRectF bounds;
    for (qsizetype i = std::max<qsizetype>(first, 0); i <= last && i < m_bounds.size(); ++i)
        bounds |= m_bounds[i];
    // Smooth edges reach a pixel beyond the outlines.
    return bounds.toAlignedRect().adjusted(-2, -2, 2, 2);
}

QRegion StrokeAnimation::shape(QSize windowSize, qreal ratio) const
{
    FinishedRegion& cache = m_finishedRegion[ratio == 1 ? 0 : 1];
    if (cache.windowSize != windowSize || cache.ratio != ratio || cache.pieces > m_ink.finishedPieces)
        cache = {windowSize, ratio, 0, QRegion()};
    const QTransform toDevice = QTransform::fromScale(ratio, ratio);
    for (; cache.pieces < m_ink.finishedPieces; ++cache.pieces)
        cache.region += glyphRegion(toDevice.map(m_outlined[cache.pieces]), windowSize);
    if (m_currentOutlined.isEmpty())
        return cache.region;
    return cache.region.united(glyphRegion(toDevice.map(m_currentOutlined), windowSize));
}

void StrokeAnimation::paint(QPainter& painter, const QRect& exposed, QColor colour,
                            QColor outlineColour) const
{
    const QList<WritingPiece>& pieces = m_writing.strokes().pieces;
    auto shown = [&](qsizetype i) { return m_bounds[i].intersects(exposed); };
    // The outlines first, all of them, so that none covers a stroke.
    if (m_outlineWidth > 0) {
        for (qsizetype i = 0; i < m_ink.finishedPieces; ++i)
            if (shown(i))
                painter.fillPath(m_outlined[i], outlineColour);
        painter.fillPath(m_currentOutlined, outlineColour);
    }
    for (qsizetype i = 0; i < m_ink.finishedPieces; ++i)
        if (shown(i))
            painter.fillPath(pieces[i].ink, colour);
    painter.fillPath(m_ink.current, colour);
}

} // namespace stage
