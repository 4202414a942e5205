#pragma once

#include "settings/stagesettings.h"

#include <QFont>
#include <QList>
#include <QPainterPath>
#include <QRectF>
#include <QSize>
#include <QString>

// Where an entry stands on the stage and at what scale: the one place that
// decides it, for the glyphs and for whatever is drawn with them.
namespace stage {

// Room kept free between the strokes and every edge of the screen when
// entries are centred: wide enough for the outline, corners included.
inline constexpr qreal kScreenMargin = 48;

// The width of the outline round the strokes of glyphs drawn `pixelSize`
// pixels high: wide enough to read against any background, never so wide
// that it fills the counters.
qreal outlineWidthFor(qreal pixelSize);

struct EntryLayout {
    // The outlines to fill, in window coordinates, emboldened where the face
    // needs it.
    QPainterPath glyphs;
    // How much smaller than its size the entry is drawn so that it fits on
    // the screen: 1 when it fits as it is.
    qreal scale = 1;
    // The text cell of each character, in window coordinates and in the
    // order of the text.
    QList<QRectF> characterCells;
    // Where a mark stands in for an entry without ink: the place from the
    // top left, the middle of the entry from the centre.
    QPointF anchor;
};

// Lays `text` out in `font` on a window of `windowSize` at the class's
// stored `place`. From the top left, the text cell's top-left corner lies
// at the place and nothing is scaled. From the centre, the middle of the
// ink lies `place` away from the middle of the window, the entry is drawn
// smaller when it would not fit within kScreenMargin of every edge, and it
// is moved back inside when the offset would push it over an edge.
EntryLayout layoutEntry(const QString& text, const QFont& font, settings::Placement placement,
                        settings::Position place, QSize windowSize);

// The first start's hint, as outlines in `font`: below the ink if there is
// room there, else above it, else at the bottom of the window; centred
// under the ink and kept inside the window.
QPainterPath captionBeside(const QString& caption, const QFont& font, const QRectF& ink, QSize windowSize);

} // namespace stage
