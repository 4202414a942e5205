#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QIODevice>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// The samples of a decoded cue: mono, signed 16-bit, at the output's rate.
using CueSamples = std::vector<qint16>;

// Decodes a RIFF/WAVE file of PCM samples (8 or 16 bits, mono or stereo, any
// rate) into mono samples at `outputRate`, resampled linearly. The "fmt " and
// "data" chunks may stand anywhere among other chunks. Anything else (another
// encoding, a cut-off file, not a WAV file at all) gives nothing.
std::optional<CueSamples> decodeWav(QByteArrayView bytes, int outputRate);

// `samples` at `toRate`, interpolated linearly between neighbours.
CueSamples resampled(const CueSamples& samples, int fromRate, int toRate);

// The endless stream of samples that the audio output plays: the current
// cue's samples, then silence. Reads always return whole frames of signed
// 16-bit samples, the mono cue copied to every channel. Starting a cue cuts
// off the one playing at once. Safe to start and stop from one thread while
// another reads.
class CueStream final : public QIODevice {
public:
    using Clock = std::chrono::steady_clock;

    // When a cue was asked for and when its first samples left the stream.
    struct Handover {
        Clock::time_point asked;
        Clock::time_point handed;
    };

    explicit CueStream(int channelCount = 1);

    void setChannelCount(int channelCount);
    int bytesPerFrame() const;

    // Plays `cue` from its start, cutting off the cue playing.
    void start(std::shared_ptr<const CueSamples> cue);
    // Silence from the next read on.
    void stop();
    bool isPlaying() const;

    // The last cue whose first samples have been read, if any.
    std::optional<Handover> lastHandover() const;

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    mutable QMutex m_mutex;
    int m_channelCount;
    std::shared_ptr<const CueSamples> m_cue;
    std::size_t m_position = 0;
    Clock::time_point m_askedAt;
    bool m_handoverPending = false;
    std::optional<Handover> m_lastHandover;
};

class OutputThread;

// Plays short WAV cues asynchronously. Each file is decoded once and kept, so
// a cue that has been preloaded starts at once. Starting a cue stops the one
// still playing. A missing or unreadable file plays the default sound instead
// and is not reported.
//
// The sound goes out through one stream on the default output device, opened
// once and kept running on its own thread, fed with silence between cues. A
// stream opened per cue lost every other cue on PulseAudio, and its opening
// delayed the cue; a stream on its own thread never waits for a busy window.
// Without an output device the cues play nowhere, and nothing else changes.
class SoundPlayer {
public:
    enum class Output { DefaultDevice, None };

    explicit SoundPlayer(Output output = Output::DefaultDevice, std::function<void()> defaultSound = {});
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Decodes the files and opens the output, so that the first play of each
    // starts without delay. Missing and unreadable files are skipped.
    void preload(const QStringList& paths);
    // Returns at once; never blocks on the audio system.
    void play(const QString& path);
    // Plays samples decoded elsewhere (at sampleRate()), like a cue.
    void play(std::shared_ptr<const CueSamples> samples);
    // The rate that cues are decoded at: the output's, once it is open.
    int sampleRate() const { return m_sampleRate; }
    // Stops the output and frees every cue. Must run while the application
    // object still exists; a later play opens the output again.
    void release();
    // Release for the program's end, which must not wait on the audio
    // system: the output falls silent at once and its stream is left open
    // for the process's end to close.
    void releaseAtExit();

    // What the output plays; tests and measurements read it.
    CueStream& stream() { return m_stream; }
    // Whether an output stream is running, and how much sound it holds ahead
    // of what is being heard (its buffer), for measurements.
    bool hasOutput() const;
    std::chrono::microseconds outputBufferDuration() const;

private:
    std::shared_ptr<const CueSamples> cueFor(const QString& path);
    void startOutput();
    void endThread(std::chrono::milliseconds timeout);

    Output m_output;
    std::function<void()> m_defaultSound;
    int m_sampleRate;
    CueStream m_stream;
    QHash<QString, std::shared_ptr<const CueSamples>> m_cues;
    std::unique_ptr<OutputThread> m_thread;
};

// The player that the desktop effects play through.
SoundPlayer& desktopSoundPlayer();

} // namespace platform
