#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPainterPath>
#include <QRectF>
#include <QTimer>

#include <chrono>

namespace stage {

// The stars of a burst around `glyphs` (the glyphs' bounds) at `progress`
// from 0 (the start) to 1 (the end): a ring of stars that flies outwards,
// turns and shrinks to nothing.
QPainterPath starsAround(const QRectF& glyphs, qreal progress);

// The reward the child sees for a right answer: a short burst of stars
// around the glyphs. It only times the frames; the stage draws the stars
// and cuts its shape to them, so they show on a shaped window too.
class StarBurst : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDuration {700};

    explicit StarBurst(QObject* parent = nullptr);

    // Starts a burst around `glyphs`, from its beginning again if one runs.
    void start(const QRectF& glyphs);
    // Ends the burst at once, without a last frame: the caller redraws.
    void stop();
    bool isRunning() const { return m_frameTimer.isActive(); }

    // The stars of the frame now showing; empty when no burst runs.
    QPainterPath stars() const;

Q_SIGNALS:
    // A new frame is due, or the burst has just run out (no stars then).
    void frameChanged();

private:
    void nextFrame();

    QTimer m_frameTimer;
    QElapsedTimer m_clock;
    QRectF m_glyphs;
};

} // namespace stage
