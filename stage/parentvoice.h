#pragma once

#include <QByteArray>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>

#include <chrono>
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
//
// The microphone opens when the adult first records (or points at 录音) and
// stays open while recordings follow one another, so that those start at
// once; it closes a while after the last one and when the stage hides.
class ParentVoice : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kKeepMicrophoneOpen {30000};

    // `tell` shows a message for the user over the stage.
    ParentVoice(QWidget* stage, std::function<void(const QString&)> tell);
    ~ParentVoice() override;

    // Starts recording `entry` (GBK), with the level meter at `meterPlace`
    // (global). Nothing without an entry, or while a recording runs.
    void startRecording(const QByteArray& entry, QPoint meterPlace);
    // Keeps what has been recorded.
    void stopRecording();
    // Sets up the recorder without opening the microphone.
    void setUpAhead() { recorder(); }
    // A recording is likely to follow: opens the microphone ahead.
    void prepareToRecord();
    // Closes the microphone (once a recording running has ended).
    void releaseMicrophone();
    void setKeepMicrophoneOpen(std::chrono::milliseconds time) { m_keepMicrophone.setInterval(time); }
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
    void showCapturing();

    QWidget* m_stage;
    std::function<void(const QString&)> m_tell;
    QPointer<platform::VoiceRecorder> m_connected;
    LevelMeter* m_meter = nullptr;
    QTimer m_keepMicrophone;
    bool m_readAloud = false;
};

} // namespace stage
