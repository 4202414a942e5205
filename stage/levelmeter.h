#pragma once

#include <QWidget>

namespace stage {

// A short bar that shows how loud the microphone is while the parent
// records: a small window of its own beside the glyphs, above the stage.
// Until the microphone's sound arrives it says to wait instead, so that the
// parent does not speak into a recording that has not begun.
class LevelMeter : public QWidget {
    Q_OBJECT

public:
    explicit LevelMeter(QWidget* parent = nullptr);

    // From 0 (silence) to 1 (the loudest).
    void setLevel(qreal level);
    qreal level() const { return m_level; }
    void setCapturing(bool capturing);
    bool isCapturing() const { return m_capturing; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_level = 0;
    bool m_capturing = false;
};

} // namespace stage
