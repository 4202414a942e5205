#pragma once

#include <QColor>

#include <span>

// Colours that a child can read over any desktop: fills from a palette, each
// with a light or dark outline that stands out from it.
namespace stage {

// The relative luminance of an sRGB colour as WCAG defines it: 0 for black,
// 1 for white.
qreal relativeLuminance(const QColor& colour);

// The WCAG contrast ratio of two colours: 1 (the same) to 21 (black on white).
qreal contrastRatio(const QColor& a, const QColor& b);

// The outline for glyphs filled with `fill`: white round a dark fill, a near
// black round a light one, whichever stands out more.
QColor outlineColourFor(const QColor& fill);

// The colours the random colour mode chooses from. Each reaches a contrast
// of at least 4.5:1 against its outline, and no component reaches 255.
std::span<const QColor> randomPalette();

} // namespace stage
