#pragma once

#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <QString>

// Small texts on the stage beside the entry: the review's "3 / 8" and short
// captions for the adult. They are outlines like the entry's, so they become
// part of the window's shape, and they stay out of the entry's way.
namespace stage {

// The height of a small text on a window of `window`'s size, in pixels.
int captionPixelHeight(QSizeF window);

// The outlines of `text` in bold `face`, `pixelHeight` high, with the top
// left of their bounds at (0, 0).
QPainterPath captionOutlines(const QString& text, const QString& face, int pixelHeight);

// `caption` right of `glyphs` with its bottom on theirs, or left of them
// where the window has no room on the right.
QPainterPath placedBeside(const QPainterPath& caption, const QRectF& glyphs, QSizeF window);

// `caption` centred under `glyphs`, or above them where the window has no
// room below.
QPainterPath placedBelow(const QPainterPath& caption, const QRectF& glyphs, QSizeF window);

} // namespace stage
