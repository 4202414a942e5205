// Where the glyphs of a face lie in its text cell, and that the shipped
// decks are drawn whole at the shipped settings.
#include "core/deck.h"
#include "platform/fonts.h"
#include "platform/gbk.h"
#include "settings/startupread.h"
#include "stage/entrylayout.h"
#include "stage/glyphrenderer.h"

#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace {

const QString kPreferredKaiFace = QStringLiteral("AR PL KaitiM GB");

bool preferredKaiFaceStandsIn()
{
    return QFontInfo(QFont(QStringLiteral("华文楷体"))).family() == kPreferredKaiFace;
}

} // namespace

// At the shipped settings every entry of every shipped deck, outline
// included, stays clear of every edge of the common screens and has its ink
// in the middle.
TEST(GlyphCell, EveryShippedEntryIsWholeAndCentredOnEveryScreenAtTheShippedSettings)
{
    if (!preferredKaiFaceStandsIn())
        GTEST_SKIP() << "the data's Kai face is not drawn with " << kPreferredKaiFace.toStdString()
                     << " here (fonts-arphic-gkai00mp missing?)";
    const settings::StageSettings shipped = settings::defaultStageSettings();
    const QString face = stage::drawingFace(shipped.fontFace, {});
    constexpr qreal kCentredWithin = 3; // pixels
    for (const QSize screen : {QSize(1024, 768), QSize(1366, 768), QSize(1920, 1080), QSize(3840, 2160)}) {
        for (const char* deck : {"ziku.txt", "bjx.qrnv", "szj.qrnv", "qzw.qrnv"}) {
            const QString path = QStringLiteral(QUENLO_SOURCE_DIR "/database/") + QLatin1String(deck);
            const core::Deck entries = core::readDeckFile(path);
            ASSERT_GT(entries.size(), 0) << deck;
            for (qsizetype i = 0; i < entries.size(); ++i) {
                const QByteArray entry = entries.at(i).toByteArray();
                const settings::WordClass wordClass = stage::wordClassOf(entry);
                const QFont font = stage::drawingFont(face, shipped.size(wordClass), 96);
                const stage::EntryLayout layout = stage::layoutEntry(platform::gbk::decode(entry), font,
                                                                     shipped.placement,
                                                                     shipped.position(wordClass), screen);
                // The pixels the shape would cover: the outlines grown by
                // the outline. The strokes themselves stand in the middle.
                const qreal outline = stage::outlineWidthFor(font.pixelSize() * layout.scale);
                const QRect ink = stage::withOutline(layout.glyphs, outline).boundingRect().toAlignedRect();
                if (ink.isEmpty())
                    continue;
                const auto where = [&] {
                    return ::testing::Message()
                           << screen.width() << "x" << screen.height() << " " << deck << " entry " << i << " "
                           << platform::gbk::decode(entry).toStdString() << " ink at (" << ink.left() << ", "
                           << ink.top() << ") to (" << ink.right() << ", " << ink.bottom() << ")";
                };
                EXPECT_TRUE(ink.left() > 0 && ink.top() > 0 && ink.right() < screen.width() - 1
                            && ink.bottom() < screen.height() - 1)
                    << where();
                const QPointF offCentre = layout.glyphs.boundingRect().center()
                                          - QRectF(QPoint(0, 0), screen).center();
                EXPECT_LE(std::abs(offCentre.x()), kCentredWithin) << where();
                EXPECT_LE(std::abs(offCentre.y()), kCentredWithin) << where();
            }
        }
    }
}

TEST(GlyphCell, OnlyAStandInGetsTheNamedFaceCellAndTheCellStillStartsAtThePlace)
{
    if (!preferredKaiFaceStandsIn())
        GTEST_SKIP() << "the data's Kai face is not drawn with " << kPreferredKaiFace.toStdString()
                     << " here";
    const QFont standIn = stage::drawingFont(QStringLiteral("华文楷体"), 600, 96);
    const QFont named = stage::drawingFont(kPreferredKaiFace, 600, 96);
    ASSERT_EQ(QFontInfo(standIn).family(), QFontInfo(named).family());

    // The face chosen by name keeps the cell it declares.
    const stage::TextCell own = stage::textCell(named);
    const QFontMetricsF metrics(named);
    EXPECT_EQ(own.ascent, metrics.ascent());
    EXPECT_EQ(own.roomBefore, 0);

    // The stand-in's cell has room above and before the same outlines: at a
    // place, its glyphs lie lower and further right, inside the cell.
    const stage::TextCell cell = stage::textCell(standIn);
    EXPECT_GT(cell.ascent, own.ascent + 800 / 8);
    EXPECT_GT(cell.roomBefore, 0);
    const QPointF place(300, 200);
    const QRectF ownInk = stage::glyphPath(QStringLiteral("大"), named, place).boundingRect();
    const QRectF ink = stage::glyphPath(QStringLiteral("大"), standIn, place).boundingRect();
    EXPECT_NEAR(ink.top() - ownInk.top(), cell.ascent - own.ascent, 0.1); // outlines lie on a 1/64 pixel grid
    EXPECT_NEAR(ink.left() - ownInk.left(), cell.roomBefore, 0.1);
    EXPECT_GT(ink.top(), place.y() + 800 / 8);
    EXPECT_GT(ink.left(), place.x());
}
