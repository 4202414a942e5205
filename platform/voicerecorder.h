#pragma once

#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <chrono>

namespace platform {

// The file that holds the recording of an entry's text (GBK bytes): named
// by the hex of the bytes in the user's "recordings" folder, so that every
// child hears the same voice for the same text.
QString recordingFile(QByteArrayView entry);

// Records the parent's voice from the default microphone into a small
// compressed file, and plays such files. Tests replace it through the
// effects (platform/effects.h) and need no sound card.
class VoiceRecorder : public QObject {
    Q_OBJECT

public:
    // A recording stops by itself after this long.
    static constexpr std::chrono::milliseconds kLongest {5000};

    using QObject::QObject;

    // Starts recording for `path`. The file there is replaced only when the
    // recording succeeds: finished() or failed() follows, never both.
    virtual void start(const QString& path) = 0;
    // Stops the recording and keeps what was recorded so far.
    virtual void stop() = 0;
    virtual bool isRecording() const = 0;
    // Plays a recording asynchronously, stopping the one playing (and a
    // sound cue). One not decoded yet plays once it is.
    virtual void play(const QString& path) = 0;

    // The adult is about to record: opens the microphone ahead, so that the
    // recordings that follow start at once. It stays open (the desktop
    // shows it in use) until closeMicrophone().
    virtual void openMicrophone() {}
    // Lets the microphone go; a recording running keeps it until it ends.
    virtual void closeMicrophone() {}
    virtual bool isMicrophoneOpen() const { return false; }
    // Decodes `path` ahead, in the background, so that play() starts it at once.
    virtual void preload(const QString& path) { Q_UNUSED(path); }

Q_SIGNALS:
    // The recording running holds the microphone's sound from now on: the
    // adult can speak. A recording may start some time before this while
    // the microphone opens.
    void capturing();
    // How loud the microphone is, from 0 to 1, several times a second
    // while recording, once capturing.
    void levelChanged(qreal level);
    // The recording is in place at `path`.
    void finished(const QString& path);
    // No microphone, or the recording failed: a message for the user.
    // Nothing has changed on disk.
    void failed(const QString& message);
};

// What the user reads when a recording cannot be made.
QString noMicrophoneMessage();
QString recordingFailedMessage();

} // namespace platform
