// 笔顺: the pieces of an entry in the order of writing, and the ink after
// so many milliseconds, laid out as the stage lays entries out.
#include "core/strokedata.h"
#include "settings/stagesettings.h"
#include "stage/entrylayout.h"
#include "stage/glyphrenderer.h"
#include "stage/strokeanimation.h"

#include <QFontInfo>

#include <cmath>

#include <gtest/gtest.h>

namespace {

using stage::StrokeWriting;

const core::StrokeData& strokeFile()
{
    static const core::StrokeData data(QStringLiteral(QUENLO_SOURCE_DIR "/database/strokes.bin"));
    return data;
}

struct Laid {
    stage::EntryLayout layout;
    stage::EntryStrokes strokes;
};

// The entry at 600 points, centred on a full-HD screen, in the Kai face the
// data was drawn from where it is installed.
Laid layOut(const QString& text)
{
    const QFont font = stage::drawingFont(QStringLiteral("AR PL KaitiM GB"), 600, 96);
    const stage::EntryLayout layout = stage::layoutEntry(text, font, settings::Placement::FromCentre, {0, 0},
                                                         QSize(1920, 1080));
    return {layout, stage::entryStrokes(text, font, layout, strokeFile())};
}

QRegion regionOf(const QPainterPath& path)
{
    return stage::glyphRegion(path, QSize(1920, 1080));
}

qsizetype pixelCount(const QRegion& region)
{
    qsizetype count = 0;
    for (const QRect& rect : region)
        count += qsizetype(rect.width()) * rect.height();
    return count;
}

} // namespace

// The way each stroke runs on screen (y down), to the nearest of eight
// arrows.
QString waysOf(const stage::EntryStrokes& strokes)
{
    static const QString kArrows = QStringLiteral("→↘↓↙←↖↑↗");
    QString ways;
    for (const stage::WritingPiece& piece : strokes.pieces) {
        const QPointF run = piece.median.back() - piece.median.front();
        const int sector = int(std::lround(std::atan2(run.y(), run.x()) / (M_PI / 4)));
        ways += kArrows[(sector + 8) % 8];
    }
    return ways;
}

// The strokes in the order of writing, each the way it is written, and
// the brush halfway through the first: it has covered the stroke's start
// and not yet its end.
TEST(StrokeWriting, CharactersAreWrittenInTheirStrokeOrder)
{
    const struct {
        const char16_t* character;
        const char16_t* ways;
    } cases[] = {
        {u"一", u"→"}, {u"二", u"→→"}, {u"十", u"→↓"}, {u"人", u"↙↘"}, {u"口", u"↓↘→"},
    };
    for (const auto& c : cases) {
        const QString character = QString::fromUtf16(c.character);
        SCOPED_TRACE(character.toStdString());
        const Laid laid = layOut(character);
        EXPECT_EQ(waysOf(laid.strokes), QString::fromUtf16(c.ways));

        const StrokeWriting writing(laid.strokes, laid.layout.glyphs);
        EXPECT_EQ(writing.duration(), laid.strokes.pieces.size() * StrokeWriting::kStrokeMilliseconds);
        const QList<QPointF>& first = laid.strokes.pieces.front().median;
        const QPainterPath halfway = writing.pathAt(StrokeWriting::kStrokeMilliseconds / 2);
        EXPECT_TRUE(halfway.contains(first.front()));
        EXPECT_FALSE(halfway.contains(first.back()));
    }
}

// No ink before the brush comes down; ink that only grows; the finished
// strokes cover the glyph the stage draws, and once the writing is over
// the entry stands exactly as drawn.
TEST(StrokeWriting, InkGrowsFromNothingToTheWholeEntry)
{
    if (QFontInfo(stage::drawingFont(QStringLiteral("AR PL KaitiM GB"), 600, 96)).family()
        != QStringLiteral("AR PL KaitiM GB"))
        GTEST_SKIP() << "AR PL KaitiM GB is not installed (scripts/setup.sh installs it)";
    for (const QString& text :
         {QStringLiteral("永"), QStringLiteral("我们"), QStringLiteral("好好学习天天向上")}) {
        SCOPED_TRACE(text.toStdString());
        const Laid laid = layOut(text);
        const StrokeWriting writing(laid.strokes, laid.layout.glyphs);
        EXPECT_TRUE(writing.pathAt(0).isEmpty());

        const QRegion glyphs = regionOf(laid.layout.glyphs);
        QRegion before;
        for (qint64 t = 100; t < writing.duration(); t += 370) {
            const QRegion now = regionOf(writing.pathAt(t));
            // No more than the odd pixel of an edge, where a stroke under way
            // is cut from its outline and rasterised a little differently.
            EXPECT_LE(double(pixelCount(before.subtracted(now))), 0.001 * double(pixelCount(glyphs)))
                << "ink went at " << t << " ms";
            before = now;
        }
        const QRegion strokes = regionOf(writing.pathAt(writing.duration() - 1));
        // Within the data's grid and the face's own drawing.
        EXPECT_LT(double(pixelCount(strokes.xored(glyphs))), 0.06 * double(pixelCount(glyphs)));
        EXPECT_EQ(regionOf(writing.pathAt(writing.duration())), glyphs);
    }
}

// Letters and digits have no strokes: no writing. Beside a character with
// strokes they appear whole, at once, in their turn.
TEST(StrokeWriting, CharactersWithoutStrokesStandWholeAtOnce)
{
    EXPECT_FALSE(layOut(QStringLiteral("ABC")).strokes.hasStrokes());
    EXPECT_FALSE(layOut(QStringLiteral("123")).strokes.hasStrokes());

    const Laid laid = layOut(QStringLiteral("A一"));
    ASSERT_EQ(laid.strokes.pieces.size(), 2);
    EXPECT_FALSE(laid.strokes.pieces[0].isStroke());
    const StrokeWriting writing(laid.strokes, laid.layout.glyphs);
    EXPECT_EQ(writing.duration(), StrokeWriting::kStrokeMilliseconds);
    const StrokeWriting::Ink first = writing.inkAt(1);
    EXPECT_EQ(first.finishedPieces, 1);
    EXPECT_EQ(first.currentPiece, 1);
    const QRectF letterCell = laid.layout.characterCells[0];
    EXPECT_TRUE(letterCell.contains(laid.strokes.pieces[0].ink.boundingRect().center()));
}
