#pragma once

#include "core/mappeddatafile.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

// How Chinese characters are written: the outline of every stroke and its
// centre line, in the order of writing, read from the shipped stroke file
// (database/strokes.bin, made by scripts/convert-strokes.py).
//
// The strokes come in the data's own units: the font units of the Kai face
// they were drawn from, an em box 1024 units wide and high, x growing to the
// right from 0 to 1024, y growing UPWARDS from -124 (the em box's bottom) to
// 900 (its top), the baseline at y = 0. StrokeBoxMapping turns them into a
// glyph's place on screen.
//
// QtCore only: an outline is a list of path commands, which appendOutline()
// replays into a QPainterPath (or any type with the same drawing calls) where
// a screen is at hand.
namespace core {

// The data's em box.
inline constexpr qreal kStrokeEmSize = 1024;
inline constexpr qreal kStrokeEmTop = 900;
inline constexpr qreal kStrokeEmBottom = kStrokeEmTop - kStrokeEmSize;

// One stroke's outline: a closed path that starts with a move, goes on with
// lines, quadratic and cubic curves and ends with a close.
struct StrokeOutline {
    enum class Command : quint8 { MoveTo, LineTo, QuadTo, CubicTo, Close };
    QList<Command> commands;
    // The commands' points in order: one for a move or a line, the control
    // point and the end for a quadratic, two control points and the end for a
    // cubic, none for a close.
    QList<QPointF> points;

    static constexpr int pointsOf(Command command)
    {
        switch (command) {
        case Command::MoveTo:
        case Command::LineTo:
            return 1;
        case Command::QuadTo:
            return 2;
        case Command::CubicTo:
            return 3;
        case Command::Close:
            return 0;
        }
        return 0;
    }
};

struct Stroke {
    StrokeOutline outline;
    // The centre line, from where the brush comes down to where it lifts:
    // the direction the stroke is written in.
    QList<QPointF> median;
};

struct CharacterStrokes {
    // In the order of writing.
    QList<Stroke> strokes;
};

// A stroke file. It is opened and mapped into memory the first time a
// character is asked for, and only the records asked for are read; a file
// that is missing or damaged reads as one that holds no character. Safe to
// use from several threads.
class StrokeData {
public:
    explicit StrokeData(QString path);
    ~StrokeData();
    StrokeData(const StrokeData&) = delete;
    StrokeData& operator=(const StrokeData&) = delete;

    // The strokes of one character (a Unicode code point), or nothing when
    // the file has none for it.
    std::optional<CharacterStrokes> strokesOf(char32_t character) const;

    // How many characters the file holds: 0 when it can't be read.
    qsizetype characterCount() const;
    // The file's own statement of what it holds, where the data comes from
    // and how it was changed.
    QString notice() const;

    // The shipped stroke file, database/strokes.bin in the shipped data
    // folder. Opened on first use.
    static const StrokeData& shipped();

private:
    class File;
    MappedDataFile<File> m_file;
};

// The strokes of a character in the shipped stroke file.
inline std::optional<CharacterStrokes> strokesOf(char32_t character)
{
    return StrokeData::shipped().strokesOf(character);
}

// The em box of a glyph on screen (y down) drawn with its origin (the left
// end of its baseline) at `origin` in a font of `emPixels` pixels (the
// font's pixel size): one em wide from the origin, from 900/1024 em above
// the baseline to 124/1024 em below it, as in the Kai faces.
QRectF glyphEmBox(QPointF origin, qreal emPixels);

// Places the data's em box on a glyph's em box, flipping y, so that the
// strokes stand where the font draws the glyph.
class StrokeBoxMapping {
public:
    explicit StrokeBoxMapping(const QRectF& glyphEmBox);

    QPointF map(QPointF dataPoint) const
    {
        return {m_left + dataPoint.x() * m_scaleX, m_top + (kStrokeEmTop - dataPoint.y()) * m_scaleY};
    }
    // Pixels per data unit, across.
    qreal scale() const { return m_scaleX; }

private:
    qreal m_left;
    qreal m_top;
    qreal m_scaleX;
    qreal m_scaleY;
};

// Replays a stroke's outline, mapped onto the glyph, into `path`: a
// QPainterPath or anything with moveTo, lineTo, quadTo, cubicTo and
// closeSubpath taking QPointF.
template <typename Path>
void appendOutline(Path& path, const StrokeOutline& outline, const StrokeBoxMapping& mapping)
{
    using Command = StrokeOutline::Command;
    qsizetype next = 0;
    auto point = [&] { return mapping.map(outline.points.at(next++)); };
    for (const Command command : outline.commands) {
        switch (command) {
        case Command::MoveTo:
            path.moveTo(point());
            break;
        case Command::LineTo:
            path.lineTo(point());
            break;
        case Command::QuadTo: {
            const QPointF control = point();
            path.quadTo(control, point());
            break;
        }
        case Command::CubicTo: {
            const QPointF first = point();
            const QPointF second = point();
            path.cubicTo(first, second, point());
            break;
        }
        case Command::Close:
            path.closeSubpath();
            break;
        }
    }
}

// A centre line mapped onto the glyph.
QList<QPointF> mappedMedian(const Stroke& stroke, const StrokeBoxMapping& mapping);

} // namespace core
