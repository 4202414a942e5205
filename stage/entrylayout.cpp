#include "stage/entrylayout.h"

#include "stage/glyphrenderer.h"

#include <QFontMetricsF>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace stage {

namespace {

// A coordinate that puts an extent of `length` around it within [low, high]
// when it fits there; the middle of the room otherwise.
qreal keptInside(qreal centre, qreal length, qreal low, qreal high)
{
    const qreal lowest = low + length / 2;
    const qreal highest = high - length / 2;
    if (lowest > highest)
        return (low + high) / 2;
    return std::clamp(centre, lowest, highest);
}

// Maps the ink's middle to the middle of the window plus the offset, scaled
// down to fit within the margin.
QTransform centring(const QRectF& ink, settings::Position offset, QSize windowSize, qreal& scale)
{
    const QRectF room = QRectF(QPointF(0, 0), QSizeF(windowSize))
                            .marginsRemoved(
                                QMarginsF(kScreenMargin, kScreenMargin, kScreenMargin, kScreenMargin));
    scale = 1;
    if (ink.width() > 0 && room.width() > 0)
        scale = std::min(scale, room.width() / ink.width());
    if (ink.height() > 0 && room.height() > 0)
        scale = std::min(scale, room.height() / ink.height());
    const QSizeF drawn = ink.size() * scale;
    const QPointF wanted = room.center() + QPointF(offset.x, offset.y);
    const QPointF centre(keptInside(wanted.x(), drawn.width(), room.left(), room.right()),
                         keptInside(wanted.y(), drawn.height(), room.top(), room.bottom()));
    QTransform toWindow;
    toWindow.translate(centre.x(), centre.y());
    toWindow.scale(scale, scale);
    toWindow.translate(-ink.center().x(), -ink.center().y());
    return toWindow;
}

QList<QRectF> characterCellsAtOrigin(const QString& text, const QFont& font)
{
    const TextCell cell = textCell(font);
    const QFontMetricsF metrics(font);
    QList<QRectF> cells;
    qreal x = cell.roomBefore;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const qreal advance = metrics.horizontalAdvance(text.mid(i, length));
        cells.append(QRectF(x, 0, advance, cell.ascent + cell.descent));
        x += advance;
        i += length - 1;
    }
    return cells;
}

} // namespace

qreal outlineWidthFor(qreal pixelSize)
{
    return std::clamp(std::round(pixelSize / 30), 3.0, 12.0);
}

EntryLayout layoutEntry(const QString& text, const QFont& font, settings::Placement placement,
                        settings::Position place, QSize windowSize)
{
    const QPainterPath outlines = glyphPath(text, font, QPointF(0, 0));
    const QPainterPath glyphs = emboldened(outlines, emboldenWidth(font));
    const QList<QRectF> cells = characterCellsAtOrigin(text, font);

    EntryLayout layout;
    QTransform toWindow;
    QPointF anchor; // in the coordinates of the outlines at the origin
    if (placement == settings::Placement::FromTopLeft) {
        toWindow = QTransform::fromTranslate(place.x, place.y);
    } else {
        QRectF ink = glyphs.boundingRect();
        if (ink.isEmpty())
            ink = QRectF(0, 0, 1, 1); // nothing to fit: the mark stands at the place
        toWindow = centring(ink, place, windowSize, layout.scale);
        anchor = ink.center();
    }
    layout.glyphs = toWindow.map(glyphs);
    for (const QRectF& cell : cells)
        layout.characterCells.append(toWindow.mapRect(cell));
    layout.anchor = toWindow.map(anchor);
    return layout;
}

QPainterPath captionBeside(const QString& caption, const QFont& font, const QRectF& ink, QSize windowSize)
{
    const QFontMetricsF metrics(font);
    const qreal gap = metrics.height() / 2;
    const qreal width = metrics.horizontalAdvance(caption);
    qreal top = ink.bottom() + gap;
    if (top + metrics.height() > windowSize.height() - gap)
        top = ink.top() - gap - metrics.height();
    if (top < gap)
        top = windowSize.height() - gap - metrics.height();
    const qreal left = keptInside(ink.center().x(), width, gap, windowSize.width() - gap) - width / 2;
    QPainterPath path;
    path.addText(left, top + metrics.ascent(), font, caption);
    return path;
}

} // namespace stage
