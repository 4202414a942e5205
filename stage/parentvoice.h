#pragma once

#include <QByteArray>
#include <QObject>
#include <QPoint>
#include <QPointer>

#include <functional>

class QWidget;

namespace platform {
class VoiceRecorder;
}

namespace stage {

class LevelMeter;

// The parent's own voice for the entries: records the entry showing (R
// held down, or the menu's 录音), plays it back (V), and reads each new
// entry aloud when 自动朗读 is on. The recordings belong to the entry's text
// (platform::recordingFile).
class ParentVoice : public QObject {
    Q_OBJECT

public:
    // `tell` shows a message for the user over the stage.
    ParentVoice(QWidget* stage, std::function<void(const QString&)> tell);
    ~ParentVoice() override;

    // Starts recording `entry` (GBK), with the level meter at `meterPlace`
    // (global). Nothing without an entry, or while a recording runs.
    void startRecording(const QByteArray& entry, QPoint meterPlace);
    // Keeps what has been recorded.
    void stopRecording();
    bool isRecording() const;

    // Plays the entry's recording; false when it has none.
    bool play(const QByteArray& entry);
    // A new entry shows: read aloud when that is on.
    void entryShown(const QByteArray& entry);

    bool readsAloud() const { return m_readAloud; }
    void setReadsAloud(bool on) { m_readAloud = on; }

    // The meter, while a recording runs (for tests).
    LevelMeter* levelMeter() const { return m_meter; }

private:
    platform::VoiceRecorder& recorder();
    void endRecording();

    QWidget* m_stage;
    std::function<void(const QString&)> m_tell;
    QPointer<platform::VoiceRecorder> m_connected;
    LevelMeter* m_meter = nullptr;
    bool m_readAloud = false;
};

} // namespace stage
