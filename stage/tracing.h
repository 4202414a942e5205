#pragma once

#include "stage/strokeanimation.h"

#include <QColor>
#include <QCursor>
#include <QList>
#include <QObject>
#include <QPainterPath>
#include <QPointF>
#include <QRect>
#include <QRegion>
#include <QTimer>

class QPainter;

// 描红: the child traces the entry's strokes one after another; a trace that
// follows the stroke fills it.
namespace stage {

// What a trace did against the stroke it was meant to follow.
enum class TraceVerdict {
    Follows,
    TooShort,        // it covers too little of the stroke
    Reversed,        // it runs against the stroke's direction
    StartsElsewhere, // it starts away from the stroke's start
    EndsElsewhere,   // it stops away from the stroke's end
    Strays,          // it leaves the stroke on the way, or cuts a corner of it
};

// How far a trace may lie from the stroke's centre line, for characters
// `emPixels` wide: an eighth of the character, so that a child's hand
// passes and the neighbouring stroke does not, never less than a fingertip's
// few pixels on small characters.
qreal traceTolerance(qreal emPixels);

// Whether the trace (the pointer's positions from press to release) follows
// the stroke whose centre line is `median` (from start to end): it starts
// and ends within `tolerance` of the stroke's start and end, runs the
// stroke's way, and nowhere lies farther than `tolerance` from the centre
// line nor leaves a point of the centre line farther than that from it.
TraceVerdict judgeTrace(const QList<QPointF>& trace, const QList<QPointF>& median, qreal tolerance);

// One entry being traced: its strokes pale until traced, the trace under
// way, and the next stroke's start blinking after a stray.
class TracingPractice : public QObject {
    Q_OBJECT

public:
    TracingPractice(EntryStrokes strokes, qreal outlineWidth, QObject* parent = nullptr);

    // Whether every stroke has been traced.
    bool isDone() const { return m_next >= m_strokes.pieces.size(); }
    const EntryStrokes& strokes() const { return m_strokes; }
    // The piece to trace next.
    qsizetype nextPiece() const { return m_next; }
    bool isTracing() const { return m_tracing; }

    void press(QPointF at);
    void move(QPointF at);
    enum class Outcome { Nothing, Filled, FilledTheLast, Strayed };
    Outcome release(QPointF at);

    // The window's shape: every stroke with its outline.
    QRegion shape(QSize windowSize, qreal ratio) const;
    void paint(QPainter& painter, const QRect& exposed, QColor colour, QColor outlineColour) const;

    // The cursor while tracing: a brush tip in the entry's colour, its point
    // on the hot spot.
    static QCursor brushCursor(QColor colour);

Q_SIGNALS:
    // The picture has changed within `changed`.
    void changed(QRect changed);

private:
    void skipGlyphs();
    void blink();
    QRectF blinkArea() const;

    EntryStrokes m_strokes;
    qreal m_outlineWidth;
    qreal m_tolerance;
    QList<QPainterPath> m_outlined;
    qsizetype m_next = 0;
    bool m_tracing = false;
    QList<QPointF> m_trace;
    QTimer m_blinkTimer;
    int m_blinksLeft = 0;
};

} // namespace stage
