#pragma once

#include "stage/entrylayout.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QObject>
#include <QPainterPath>
#include <QPointF>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QTimer>

class QPainter;

namespace core {
class StrokeData;
}

// 笔顺: the entry writes itself, stroke by stroke, as a brush moves along
// each stroke's centre line. The geometry (what ink stands after so many
// milliseconds) needs no window; StrokeAnimation drives it with a timer.
namespace stage {

// One piece of an entry's writing, in window coordinates: a stroke of a
// character whose strokes are known, or the whole glyph of a character
// whose strokes are not (a letter, a digit, a rare character).
struct WritingPiece {
    // The stroke's outline thickened as the stage thickens its glyphs, so
    // that the written strokes match the glyphs; or the glyph itself.
    QPainterPath ink;
    // The brush's way from where it comes down to where it lifts; empty
    // for a glyph that appears at once.
    QList<QPointF> median;

    bool isStroke() const { return !median.isEmpty(); }
};

// The pieces of an entry in the order of writing, as the stage lays it out.
struct EntryStrokes {
    QList<WritingPiece> pieces;
    // The characters' size on screen, in pixels: the measure of the brush
    // and of a trace's tolerance.
    qreal emPixels = 0;

    // Whether any character has strokes to write; without them there is
    // nothing to play or trace.
    bool hasStrokes() const;
};

// The pieces of `text` drawn in `font` where `layout` puts it. Empty (no
// strokes) when no character of the entry has stroke data.
EntryStrokes entryStrokes(const QString& text, const QFont& font, const EntryLayout& layout,
                          const core::StrokeData& data);

// The ink after a given time of writing.
class StrokeWriting {
public:
    // About half a second a stroke; a glyph without strokes takes no time.
    static constexpr int kStrokeMilliseconds = 500;

    // `wholeEntry` is the entry as the stage draws it, which stands once the
    // writing is over.
    StrokeWriting(EntryStrokes strokes, QPainterPath wholeEntry);

    int duration() const { return m_duration; }
    const EntryStrokes& strokes() const { return m_strokes; }

    struct Ink {
        // The pieces written whole, from the first.
        qsizetype finishedPieces = 0;
        // What the brush has laid of the stroke under way.
        QPainterPath current;
        // The piece under way, or -1.
        qsizetype currentPiece = -1;
        // Whether the writing is over: the whole entry stands.
        bool done = false;
    };
    Ink inkAt(qint64 milliseconds) const;

    // All the ink after `milliseconds` as one path: nothing before the
    // brush comes down, the whole entry once the writing is over.
    QPainterPath pathAt(qint64 milliseconds) const;

    const QPainterPath& wholeEntry() const { return m_wholeEntry; }

private:
    EntryStrokes m_strokes;
    QPainterPath m_wholeEntry;
    QList<int> m_startOf; // when each piece begins, in milliseconds
    int m_duration = 0;
    qreal m_brushWidth = 0;
};

// Plays a StrokeWriting: a frame about every 16 ms, each asking the stage
// to show the ink and to cut the window to it.
class StrokeAnimation : public QObject {
    Q_OBJECT

public:
    // `outlineWidth` is the stage's outline round the strokes (0 when off).
    StrokeAnimation(StrokeWriting writing, qreal outlineWidth, QObject* parent = nullptr);

    // Starts the writing and shows its first frame at once.
    void start();
    // Shows the ink after `milliseconds` (the timer calls it; tests too).
    void showAt(qint64 milliseconds);

    // The window's shape for the ink shown, in a window of `windowSize`
    // device pixels, `ratio` of them to a pixel.
    QRegion shape(QSize windowSize, qreal ratio) const;
    // Paints the ink shown that lies within `exposed`.
    void paint(QPainter& painter, const QRect& exposed, QColor colour, QColor outlineColour) const;

    const StrokeWriting& writing() const { return m_writing; }
    const StrokeWriting::Ink& ink() const { return m_ink; }

Q_SIGNALS:
    // The ink has grown within `changed`.
    void frameShown(QRect changed);
    // The writing is over: the whole entry may stand again.
    void finished();

private:
    void nextFrame();
    QRect piecesBounds(qsizetype first, qsizetype last) const;

    StrokeWriting m_writing;
    qreal m_outlineWidth;
    // Each piece with its outline, and the bounds of the two.
    QList<QPainterPath> m_outlined;
    QList<QRectF> m_bounds;
    StrokeWriting::Ink m_ink;
    QPainterPath m_currentOutlined;
    QTimer m_timer;
    QElapsedTimer m_clock;

    // The region of the finished pieces, grown piece by piece.
    struct FinishedRegion {
        QSize windowSize;
        qreal ratio = 0;
        qsizetype pieces = 0;
        QRegion region;
    };
    mutable FinishedRegion m_finishedRegion[2];
};

} // namespace stage
