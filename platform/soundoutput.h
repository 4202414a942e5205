#pragma once

#include "platform/soundplayer.h"

#include <QThread>

#include <chrono>
#include <memory>
#include <optional>

// The audio output a SoundPlayer's cues go out through: one stream on the
// default output device, opened on its own thread and kept topped up there
// from the cue stream, fed with silence between cues. Each platform has its
// own: Qt Multimedia's audio sink, or winmm's waveOut on Windows.
namespace platform {

// Owns the output stream: opens it when started, feeds it every few
// milliseconds, and closes it when the thread quits. After a long silence it
// suspends the stream, which costs the audio system nothing, and the next
// cue resumes it. Ends by itself when the stream cannot be opened or the
// audio system drops it; the next cue then opens a new one.
class OutputThread : public QThread {
public:
    // Called when a cue starts: resumes a suspended stream and hands the cue
    // over without waiting for the next top-up.
    virtual void wake() = 0;

    // Ends the thread without closing the stream. Closing waits on the audio
    // system's answers (seconds on a busy machine), and the closed stream may
    // still be called back afterwards; left open, it goes with the process.
    virtual void quitLeavingStreamOpen() = 0;

    // How much sound the stream holds ahead of what is heard; 0 while it is
    // not open.
    virtual std::chrono::microseconds bufferDuration() const = 0;
};

// How the output wants its signed 16-bit samples.
struct OutputFormat {
    int sampleRate = 0;
    int channelCount = 1;
};

struct AudioOutput {
    std::unique_ptr<OutputThread> thread; // not started yet
    OutputFormat format;
};

// An output on the default device that plays `cues`, at `preferredRate` when
// the device takes it; nothing when there is no output device.
std::optional<AudioOutput> defaultAudioOutput(CueStream& cues, int preferredRate);

// How often an output tops its stream up.
inline constexpr std::chrono::milliseconds kOutputFeedInterval {5};
// A running stream keeps the audio system busy; after this much silence it is
// suspended until the next cue.
inline constexpr std::chrono::seconds kOutputSuspendAfter {30};

// An object left on purpose to end with the process (an output stream that
// would take long to close): the leak checker of a sanitized build must not
// take it for a leak.
void leaveToTheProcess(void* object);

} // namespace platform
