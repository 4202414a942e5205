// The pinyin above the characters: one syllable centred over each character,
// clear of its glyph, and part of the stage's shape.
#include "platform/fonts.h"
#include "stage/glyphrenderer.h"
#include "stage/pinyinlabels.h"

#include <gtest/gtest.h>

namespace {

struct Layout {
    const char16_t* text;
    QStringList syllables;
    qint32 points;
    QPointF topLeft;
};

} // namespace

TEST(PinyinLabels, EachSyllableIsCentredOverItsCharacterAndClearOfTheGlyphs)
{
    const Layout layouts[] = {
        {u"大", {QStringLiteral("dà")}, 600, {100, -100}},
        {u"银行", {QStringLiteral("yín"), QStringLiteral("háng")}, 400, {-36, 50}},
        {u"一个人", {QStringLiteral("yí"), QStringLiteral("gè"), QStringLiteral("rén")}, 260, {-22, 120}},
        {u"1天a", {QString(), QStringLiteral("tiān"), QString()}, 105, {0, 100}},
    };
    for (const Layout& layout : layouts) {
        const QString text = QString::fromUtf16(layout.text);
        SCOPED_TRACE(text.toStdString());
        const QFont font = stage::drawingFont(platform::defaultFaceName(), layout.points, 96);
        const QList<stage::CharacterPlace> places = stage::characterPlaces(text, font, layout.topLeft);
        ASSERT_EQ(places.size(), text.size());
        const QRectF glyphs = stage::glyphPath(text, font, layout.topLeft).boundingRect();
        for (qsizetype i = 0; i < places.size(); ++i) {
            const QPainterPath label = stage::pinyinLabels({places.at(i)}, {layout.syllables.at(i)},
                                                           font.pixelSize());
            if (layout.syllables.at(i).isEmpty()) {
                EXPECT_TRUE(label.isEmpty()) << "character " << i;
                continue;
            }
            const QRectF ink = label.boundingRect();
            const QRectF& box = places.at(i).emBox;
            // Letters' ink sits within a few per cent of the advance-centred place.
            EXPECT_NEAR(ink.center().x(), box.center().x(), font.pixelSize() * 0.03) << "character " << i;
            EXPECT_LT(ink.bottom(), glyphs.top()) << "character " << i;
            EXPECT_GT(ink.bottom(), box.top() - font.pixelSize() * 0.2) << "character " << i;
            EXPECT_NEAR(ink.height(), font.pixelSize() * stage::kPinyinShareOfEm, font.pixelSize() * 0.15);
            // Each syllable stays over its own character: labels never collide.
            EXPECT_LE(ink.width(), box.width() * 1.05) << "character " << i;
        }
    }
}
