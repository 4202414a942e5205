#pragma once

#include "settings/stagesettings.h"

#include <QByteArrayView>
#include <QFont>
#include <QPainterPath>
#include <QRegion>
#include <QSize>
#include <QString>

#include <optional>

// Turns one entry into the shape of the stage window: the filled outlines of
// its glyphs, with the counters of a glyph (the inside of 口) left as holes.
namespace stage {

// The size class of an entry by its length in GBK bytes: 2 One, 4 Two,
// 6 Three, 8 Four, anything else Many.
settings::WordClass wordClassOf(QByteArrayView entry);

// The font height for a size in points on a screen of `dpi` logical pixels
// per inch: size x dpi / 72, rounded half away from zero. Positive for the
// usual positive sizes.
qint64 fontHeightFor(qint32 points, qreal dpi);

// The drawing font's face for a stored face name: at most its first 31
// bytes; "Default" in any letter case stands for the default sans face; an
// empty name keeps `currentFace`.
QString drawingFace(QByteArrayView storedFace, const QString& currentFace);

// The largest glyph size drawn, in pixels: far beyond any screen, and
// within what the font engines can rasterise.
inline constexpr int kMaxPixelSize = 32767;

// The bold drawing font for a face and a size in points. A positive size
// gives glyphs of that character height (800 pixels for 600 points at 96 dpi);
// a negative size gives a text cell (ascent plus descent) of that height; 0 gives the default height.
QFont drawingFont(const QString& face, qint32 points, qreal dpi);

// The width by which the outlines are thickened so that the text looks bold
// even where the face has no bold design: 0 for a face with a real bold.
qreal emboldenWidth(const QFont& font);

// The outlines moved outwards by half of `width` on every side, as font
// engines embolden a face: strokes grow by `width`, counters shrink by it.
// The result is filled with the winding rule, so that outlines that grow
// into each other unite instead of cancelling.
QPainterPath emboldened(const QPainterPath& path, qreal width);

// The text cell of a font, in pixels: how far below the cell's top edge the
// baseline lies, how far below the baseline the cell ends, and how far right
// of the cell's left edge the first glyph's origin lies. A face standing in
// for a Kai face that the data names gets the cell of such a face, with room
// above the em box and before the first glyph; any other face has the cell
// it declares.
struct TextCell {
    qreal ascent = 0;
    qreal descent = 0;
    qreal roomBefore = 0;
};
TextCell textCell(const QFont& font);

// The outlines of `text` in `font` with the top-left corner of its text cell
// at `topLeft` (the baseline lies one cell ascent lower).
QPainterPath glyphPath(const QString& text, const QFont& font, QPointF topLeft);

// The pixels covered by the filled path (by its own fill rule) within a
// window of `windowSize`: the window's shape. Empty when nothing of the text
// falls inside the window or the face draws no outlines.
QRegion glyphRegion(const QPainterPath& path, QSize windowSize);

// The glyphs grown by `width` pixels on every side (into the counters too):
// filled in a contrasting colour under the glyphs, it draws their outline.
// Moving the outlines' points is far cheaper than stroking them, which
// matters at every step.
QPainterPath withOutline(const QPainterPath& glyphs, qreal width);

// The shape of `text` as the stage draws it: the outlines in `font` with the
// text cell's top-left corner at `topLeft`, emboldened where the face needs
// it, within the window.
QRegion textShape(const QString& text, const QFont& font, QPointF topLeft, QSize windowSize);

// A small round mark that stands in for an empty shape, so that the window
// never loses the part that the user clicks: near `place`, inside the window.
QRegion placeholderMark(QPoint place, QSize windowSize);

} // namespace stage
