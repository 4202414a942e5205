// Where the strokes stand against the font's glyphs: every character of the
// starter library drawn at 600 points (800 pixels at 96 dpi) in the Kai faces
// the program depends on, its strokes mapped onto the glyph's em box. The
// stroke data was drawn from AR PL KaitiM GB, the face the program prefers,
// so there the outlines coincide to within the data's grid; AR PL UKai
// redrew the glyphs, so there the strokes only stand in the same place.

#include "core/strokedata.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainterPath>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

namespace {

constexpr qreal kEmPixels = 800; // 600 points at 96 dpi

QString libraryCharacters()
{
    QFile file(QStringLiteral(QUENLO_SOURCE_DIR "/database/ziku.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringDecoder gbk("windows-936");
    QString characters;
    for (const QChar c : QString(gbk.decode(file.readAll())))
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF && !characters.contains(c))
            characters += c;
    return characters;
}

// The largest distance between the edges of two boxes.
qreal edgeDistance(const QRectF& a, const QRectF& b)
{
    return std::max({std::abs(a.left() - b.left()), std::abs(a.top() - b.top()),
                     std::abs(a.right() - b.right()), std::abs(a.bottom() - b.bottom())});
}

qreal median(std::vector<qreal> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct Face {
    const char* family;
    // How far the strokes' box may lie from a glyph's ink; 0 where the face
    // draws its glyphs otherwise than the data (UKai was redrawn from the
    // Arphic faces), so only their common place is checked.
    qreal mostPixels;
};

void PrintTo(const Face& face, std::ostream* out)
{
    *out << face.family;
}

class StrokePlacement : public testing::TestWithParam<Face> {};

TEST_P(StrokePlacement, StrokesStandOnTheGlyphsOfTheLibrary)
{
    const Face face = GetParam();
    const QString family = QString::fromUtf8(face.family);
    if (!QFontDatabase::families().contains(family))
        GTEST_SKIP() << face.family << " is not installed (scripts/setup.sh installs it)";
    QFont font(family);
    font.setPixelSize(int(kEmPixels));
    ASSERT_EQ(QFontInfo(font).family(), family);

    const QString characters = libraryCharacters();
    ASSERT_GT(characters.size(), 300);
    const core::StrokeData data(QStringLiteral(QUENLO_SOURCE_DIR "/database/strokes.bin"));
    const core::StrokeBoxMapping mapping(core::glyphEmBox({0, 0}, kEmPixels));
    std::vector<qreal> distances;
    std::vector<qreal> edgeShifts[4]; // left, top, right, bottom: glyph minus strokes
    QString worst;
    for (const QChar c : characters) {
        const std::optional<core::CharacterStrokes> strokes = data.strokesOf(c.unicode());
        if (!strokes)
            continue;
        QPainterPath glyphPath;
        glyphPath.addText(0, 0, font, QString(c));
        QPainterPath outlines;
        for (const core::Stroke& stroke : strokes->strokes)
            core::appendOutline(outlines, stroke.outline, mapping);
        const QRectF glyph = glyphPath.boundingRect();
        const QRectF ink = outlines.boundingRect();
        edgeShifts[0].push_back(glyph.left() - ink.left());
        edgeShifts[1].push_back(glyph.top() - ink.top());
        edgeShifts[2].push_back(glyph.right() - ink.right());
        edgeShifts[3].push_back(glyph.bottom() - ink.bottom());
        distances.push_back(edgeDistance(glyph, ink));
        if (distances.back() >= *std::max_element(distances.begin(), distances.end()))
            worst = c;
    }
    ASSERT_GT(distances.size(), 300u);
    const qreal most = *std::max_element(distances.begin(), distances.end());
    std::cout << face.family << ", " << distances.size() << " characters at " << kEmPixels
              << " px: the strokes' box lies from the glyph's ink by a median " << median(distances)
              << " px, at most " << most << " px (" << worst.toStdString() << "); median shift of the edges"
              << " (left, top, right, bottom): " << median(edgeShifts[0]) << ", " << median(edgeShifts[1])
              << ", " << median(edgeShifts[2]) << ", " << median(edgeShifts[3]) << " px\n";
    for (const std::vector<qreal>& shifts : edgeShifts)
        EXPECT_LE(std::abs(median(shifts)), 1.0);
    if (face.mostPixels > 0) {
        EXPECT_LE(most, face.mostPixels);
    }
}

INSTANTIATE_TEST_SUITE_P(KaiFaces, StrokePlacement,
                         testing::Values(Face {"AR PL KaitiM GB", 2.0}, Face {"AR PL UKai CN", 0}),
                         [](const testing::TestParamInfo<Face>& info) {
                             return info.index == 0 ? std::string("KaitiM") : std::string("UKai");
                         });

} // namespace
