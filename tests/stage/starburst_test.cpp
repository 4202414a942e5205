// The stars of a right answer, frame by frame.
#include "stage/starburst.h"

#include <gtest/gtest.h>

namespace {

using stage::starsAround;

TEST(StarBurst, StarsRingTheGlyphsFlyOutAndShrinkToNothing)
{
    const QRectF glyphs(400, 300, 600, 500);
    qreal lastReach = 0;
    qreal lastStarWidth = 1e12;
    for (qreal progress : {0.0, 0.3, 0.6, 0.95}) {
        const QPainterPath stars = starsAround(glyphs, progress);
        ASSERT_FALSE(stars.isEmpty()) << progress;
        const QRectF bounds = stars.boundingRect();
        // Around the glyphs, never over them: every star lies beyond the
        // glyphs' bounds on one side at least.
        for (const QPolygonF& star : stars.toSubpathPolygons())
            EXPECT_FALSE(glyphs.contains(star.boundingRect().center())) << progress;
        const qreal reach = bounds.width();
        const qreal starWidth = stars.toSubpathPolygons().first().boundingRect().width();
        EXPECT_GT(reach, lastReach) << "flies outwards at " << progress;
        EXPECT_LT(starWidth, lastStarWidth) << "shrinks at " << progress;
        lastReach = reach;
        lastStarWidth = starWidth;
    }
    EXPECT_TRUE(starsAround(glyphs, 1).isEmpty());
    EXPECT_TRUE(starsAround(glyphs, -0.1).isEmpty());
    EXPECT_TRUE(starsAround(QRectF(), 0.5).isEmpty());
}

} // namespace
