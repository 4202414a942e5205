#pragma once

#include <QWidget>

namespace stage {

// A short bar that shows how loud the microphone is while the parent
// records: a small window of its own beside the glyphs, above the stage.
class LevelMeter : public QWidget {
    Q_OBJECT

public:
    explicit LevelMeter(QWidget* parent = nullptr);

    // From 0 (silence) to 1 (the loudest).
    void setLevel(qreal level);
    qreal level() const { return m_level; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_level = 0;
};

} // namespace stage
