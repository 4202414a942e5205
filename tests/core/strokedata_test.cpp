// The shipped stroke file against the package it was converted from, the
// order of writing of a few characters, files that can't be read, and the
// placing of the data's box on a glyph.

#include "core/strokedata.h"
#include "tests/core/sourcefiles.h"
#include "tests/support/printers.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using core::CharacterStrokes;
using core::StrokeData;
using core::StrokeOutline;
using Command = StrokeOutline::Command;

const StrokeData& shippedFile()
{
    static const StrokeData data(sourcePath("database/strokes.bin"));
    return data;
}

char32_t codePointOf(const QString& character)
{
    return character.toUcs4().value(0);
}

// One stroke's SVG path of the package, as commands and points.
StrokeOutline parsePath(const QString& path)
{
    StrokeOutline outline;
    const QStringList tokens = path.split(u' ', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < tokens.size();) {
        static const QString kLetters = QStringLiteral("MLQCZ");
        const Command command = Command(kLetters.indexOf(tokens[i++]));
        outline.commands.append(command);
        for (int n = 0; n < StrokeOutline::pointsOf(command); ++n, i += 2)
            outline.points.append({tokens[i].toDouble(), tokens[i + 1].toDouble()});
    }
    return outline;
}

// The converted coordinates lie on a grid of 2 units (outlines) and 4 units
// (centre lines): each within half a grid step of the package's.
void expectNear(const QList<QPointF>& converted, const QList<QPointF>& original, qreal tolerance)
{
    ASSERT_EQ(converted.size(), original.size());
    for (qsizetype i = 0; i < converted.size(); ++i) {
        EXPECT_NEAR(converted[i].x(), original[i].x(), tolerance) << "point " << i;
        EXPECT_NEAR(converted[i].y(), original[i].y(), tolerance) << "point " << i;
    }
}

TEST(StrokeData, EveryCharacterOfTheExcerptMatchesThePackage)
{
    QFile file(sourcePath("tests/core/data/hanzi-writer-excerpt.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject excerpt = QJsonDocument::fromJson(file.readAll()).object();
    ASSERT_GE(excerpt.size(), 8);
    for (auto it = excerpt.begin(); it != excerpt.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        const std::optional<CharacterStrokes> converted = shippedFile().strokesOf(codePointOf(it.key()));
        ASSERT_TRUE(converted);
        const QJsonArray paths = it.value()[QStringLiteral("strokes")].toArray();
        const QJsonArray medians = it.value()[QStringLiteral("medians")].toArray();
        ASSERT_EQ(converted->strokes.size(), paths.size());
        for (qsizetype s = 0; s < paths.size(); ++s) {
            SCOPED_TRACE("stroke " + std::to_string(s));
            const StrokeOutline original = parsePath(paths[s].toString());
            EXPECT_EQ(converted->strokes[s].outline.commands, original.commands);
            expectNear(converted->strokes[s].outline.points, original.points, 1.0);
            QList<QPointF> median;
            for (const QJsonValue point : medians[s].toArray())
                median.append({point[0].toDouble(), point[1].toDouble()});
            expectNear(converted->strokes[s].median, median, 2.0);
        }
    }
}

// The way a stroke goes, from where the brush comes down to where it lifts:
// one of → ↓ ↙ ↘ (the character data's y grows upwards).
QChar wayOf(const core::Stroke& stroke)
{
    const QPointF way = stroke.median.last() - stroke.median.first();
    if (std::abs(way.x()) > 2 * std::abs(way.y()))
        return way.x() > 0 ? u'→' : u'←';
    if (std::abs(way.y()) > 2 * std::abs(way.x()))
        return way.y() < 0 ? u'↓' : u'↑';
    return way.y() < 0 ? (way.x() < 0 ? u'↙' : u'↘') : (way.x() < 0 ? u'↖' : u'↗');
}

TEST(StrokeData, CharactersAreWrittenStrokeByStrokeInOrder)
{
    const struct {
        const char* character;
        const char* ways;
    } cases[] = {
        {"一", "→"},   {"十", "→↓"},    {"口", "↓↘→"},  {"人", "↙↘"},
        {"大", "→↓↘"}, {"永", "↘↓↓↙↘"}, {"木", "→↓↙↘"}, {"我", "←→↓→↘↙↘"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.character);
        const std::optional<CharacterStrokes> strokes = shippedFile().strokesOf(
            codePointOf(QString::fromUtf8(c.character)));
        ASSERT_TRUE(strokes);
        QString ways;
        for (const core::Stroke& stroke : strokes->strokes) {
            ways += wayOf(stroke);
            EXPECT_EQ(stroke.outline.commands.first(), Command::MoveTo);
            EXPECT_EQ(stroke.outline.commands.last(), Command::Close);
            EXPECT_GE(stroke.median.size(), 2);
        }
        EXPECT_EQ(ways, QString::fromUtf8(c.ways));
    }
}

TEST(StrokeData, TheShippedFileHoldsTheWholePackageAndSaysWhereItComesFrom)
{
    EXPECT_EQ(shippedFile().characterCount(), 9574);
    EXPECT_TRUE(shippedFile().notice().contains(u"hanzi-writer-data 2.0.1"));
    EXPECT_TRUE(shippedFile().notice().contains(u"Arphic Public License"));
    EXPECT_TRUE(QFile::exists(sourcePath("database/ARPHICPL.TXT")));
    QFile help(sourcePath("database/help.htm"));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    EXPECT_TRUE(help.readAll().contains("Arphic Public License")) << "the help page's About section names it";
    EXPECT_LE(QFile(sourcePath("database/strokes.bin")).size(), 6'000'000);
}

TEST(StrokeData, WhatTheFileLacksIsNothingAndNoFault)
{
    for (const char32_t character : {U'A', U'1', U' ', U'\0', U'\U0010FFFF', U'\uFFFF'})
        EXPECT_FALSE(shippedFile().strokesOf(character)) << quint32(character);
}

// Damaged files: nothing is read from them, and nothing breaks.
TEST(StrokeData, ADamagedFileReadsAsEmpty)
{
    QFile shipped(sourcePath("database/strokes.bin"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QByteArray whole = shipped.readAll();
    const quint32 indexOffset = qFromLittleEndian<quint32>(whole.constData() + 28);
    const quint32 count = qFromLittleEndian<quint32>(whole.constData() + 12);
    QByteArray badMagic = whole;
    badMagic[0] = 'X';
    QByteArray badTables = whole;
    std::fill(badTables.begin() + qFromLittleEndian<quint32>(whole.constData() + 24),
              badTables.begin() + qFromLittleEndian<quint32>(whole.constData() + 24) + 8, char(1));
    const qsizetype recordsOffset = indexOffset + 8 * qsizetype(count) + 4;
    QByteArray badOffsets = whole;
    for (qsizetype at = indexOffset + 4 * qsizetype(count); at < recordsOffset; at += 4)
        qToLittleEndian<quint32>(0xFFFFFFF0u, badOffsets.data() + at);
    const struct {
        const char* name;
        QByteArray bytes;
        bool countKnown;
    } cases[] = {
        {"empty", QByteArray(), false},
        {"header only", whole.left(36), false},
        {"another magic", badMagic, false},
        {"tables that make no code", badTables, false},
        {"cut inside the records", whole.left(recordsOffset + 1000), true},
        {"offsets past the end", badOffsets, true},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromUtf8(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        const StrokeData data(path);
        for (const char32_t character : {U'一', U'丁', U'龟', U'齉'})
            EXPECT_FALSE(data.strokesOf(character)) << quint32(character);
        EXPECT_EQ(data.characterCount() > 0, c.countKnown);
    }
    EXPECT_FALSE(StrokeData(dir.filePath(QStringLiteral("missing"))).strokesOf(U'一'));
}

// A path that records the drawing calls it gets.
struct RecordedPath {
    QStringList calls;
    static QString text(QPointF p) { return QStringLiteral("%1,%2").arg(p.x()).arg(p.y()); }
    void moveTo(QPointF p) { calls << QStringLiteral("M ") + text(p); }
    void lineTo(QPointF p) { calls << QStringLiteral("L ") + text(p); }
    void quadTo(QPointF c, QPointF p) { calls << QStringLiteral("Q ") + text(c) + u' ' + text(p); }
    void cubicTo(QPointF c1, QPointF c2, QPointF p)
    {
        calls << QStringLiteral("C ") + text(c1) + u' ' + text(c2) + u' ' + text(p);
    }
    void closeSubpath() { calls << QStringLiteral("Z"); }
};

TEST(StrokeBoxMapping, TheDataBoxLandsOnTheGlyphsEmBoxUpsideDown)
{
    // An em of 512 pixels, the glyph's origin at (100, 1000): the em box
    // runs from 450 pixels above the baseline to 62 below.
    const QRectF box = core::glyphEmBox({100, 1000}, 512);
    EXPECT_EQ(box, QRectF(100, 550, 512, 512));
    const core::StrokeBoxMapping mapping(box);
    const struct {
        QPointF data;
        QPointF screen;
    } cases[] = {
        {{0, 900}, {100, 550}},      // the em box's top left
        {{1024, -124}, {612, 1062}}, // its bottom right
        {{0, 0}, {100, 1000}},       // the origin, on the baseline
        {{512, 388}, {356, 806}},    // the middle
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(mapping.map(c.data).x(), c.screen.x());
        EXPECT_DOUBLE_EQ(mapping.map(c.data).y(), c.screen.y());
    }
    EXPECT_DOUBLE_EQ(mapping.scale(), 0.5);

    StrokeOutline outline;
    outline.commands = {Command::MoveTo, Command::LineTo, Command::QuadTo, Command::CubicTo, Command::Close};
    outline.points = {{0, 900}, {1024, 900}, {1024, 388}, {1024, -124}, {512, -124}, {0, -124}, {0, 388}};
    RecordedPath path;
    core::appendOutline(path, outline, mapping);
    EXPECT_EQ(path.calls.join(u" | "), QStringLiteral("M 100,550 | L 612,550 | Q 612,806 612,1062 | "
                                                      "C 356,1062 100,1062 100,806 | Z"));
    core::Stroke stroke {outline, {{0, 900}, {1024, -124}}};
    EXPECT_EQ(core::mappedMedian(stroke, mapping), QList<QPointF>({{100, 550}, {612, 1062}}));
}

} // namespace
