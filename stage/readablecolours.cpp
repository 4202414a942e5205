#include "stage/readablecolours.h"

#include <array>
#include <cmath>

namespace stage {

namespace {

const QColor kLightOutline(255, 255, 255);
const QColor kDarkOutline(26, 26, 26);

qreal linear(qreal component)
{
    return component <= 0.04045 ? component / 12.92 : std::pow((component + 0.055) / 1.055, 2.4);
}

} // namespace

qreal relativeLuminance(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

qreal contrastRatio(const QColor& a, const QColor& b)
{
    const qreal first = relativeLuminance(a) + 0.05;
    const qreal second = relativeLuminance(b) + 0.05;
    return first > second ? first / second : second / first;
}

QColor outlineColourFor(const QColor& fill)
{
    return contrastRatio(fill, kLightOutline) >= contrastRatio(fill, kDarkOutline) ? kLightOutline
                                                                                   : kDarkOutline;
}

std::span<const QColor> randomPalette()
{
    // Clear, friendly colours: light ones that take a dark outline, deep
    // ones that take a white one. None of the muddy middle, which stands out
    // from neither.
    static const std::array<QColor, 16> palette {
        QColor(254, 212, 0),   // sunflower
        QColor(254, 140, 0),   // orange
        QColor(120, 214, 0),   // lime
        QColor(80, 195, 247),  // sky
        QColor(254, 120, 170), // pink
        QColor(0, 214, 200),   // aqua
        QColor(196, 156, 254), // lilac
        QColor(254, 236, 140), // lemon
        QColor(200, 0, 0),     // red
        QColor(30, 80, 210),   // blue
        QColor(123, 31, 162),  // purple
        QColor(20, 120, 40),   // green
        QColor(140, 70, 20),   // brown
        QColor(0, 110, 122),   // teal
        QColor(176, 0, 122),   // magenta
        QColor(40, 40, 140),   // navy
    };
    return palette;
}

} // namespace stage
