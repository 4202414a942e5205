#include "platform/soundoutput.h"

#include <QTimer>

#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <vector>

// The cues go out through winmm's waveOut, which every Windows has and which
// converts the cues' format for the device itself (the wave mapper). Qt
// Multimedia would do the same through Media Foundation at the cost of a
// much larger build and of its own bugs with formats that need converting.
namespace platform {

using namespace std::chrono_literals;

namespace {

// The stream holds this many buffers ahead of what is heard. A cue does not
// wait behind them: a starting cue drops what is queued (waveOutReset) and
// goes out in the next buffer.
constexpr int kBufferCount = 4;
constexpr std::chrono::milliseconds kBufferDuration = 20ms;

class WaveOutThread final : public OutputThread {
public:
    WaveOutThread(const OutputFormat& format, CueStream& cues)
        : m_format(format)
        , m_cues(cues)
    {
        m_waker.moveToThread(this);
    }

    ~WaveOutThread() override
    {
        quit();
        wait();
    }

    void wake() override
    {
        QMetaObject::invokeMethod(
            &m_waker, [this] { startCue(); }, Qt::QueuedConnection);
    }

    void quitLeavingStreamOpen() override
    {
        m_leaveStreamOpen = true;
        quit();
    }

    std::chrono::microseconds bufferDuration() const override
    {
        return std::chrono::microseconds(m_bufferMicroseconds.load());
    }

protected:
    void run() override
    {
        if (!open())
            return;
        QTimer feeder;
        feeder.setTimerType(Qt::PreciseTimer);
        feeder.setInterval(kOutputFeedInterval);
        QObject::connect(&feeder, &QTimer::timeout, &feeder, [this] { feed(); });
        m_feeder = &feeder;
        m_lastSound = CueStream::Clock::now();
        feed();
        feeder.start();
        exec();
        feeder.stop();
        m_feeder = nullptr;
        m_bufferMicroseconds = 0;
        if (!m_leaveStreamOpen)
            close();
    }

private:
    bool open()
    {
        WAVEFORMATEX wave {};
        wave.wFormatTag = WAVE_FORMAT_PCM;
        wave.nChannels = WORD(m_format.channelCount);
        wave.nSamplesPerSec = DWORD(m_format.sampleRate);
        wave.wBitsPerSample = 16;
        wave.nBlockAlign = WORD(wave.nChannels * wave.wBitsPerSample / 8);
        wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
        if (waveOutOpen(&m_device, WAVE_MAPPER, &wave, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
            return false;
        const qint64 frames = qint64(m_format.sampleRate) * kBufferDuration.count() / 1000;
        for (Buffer& buffer : m_buffers) {
            buffer.bytes.resize(size_t(frames * wave.nBlockAlign));
            buffer.header.lpData = buffer.bytes.data();
            buffer.header.dwBufferLength = DWORD(buffer.bytes.size());
            // A prepared header that was never written counts as played.
            waveOutPrepareHeader(m_device, &buffer.header, sizeof(WAVEHDR));
            buffer.header.dwFlags |= WHDR_DONE;
        }
        m_bufferMicroseconds = std::chrono::microseconds(kBufferDuration * kBufferCount).count();
        return true;
    }

    void close()
    {
        waveOutReset(m_device);
        for (Buffer& buffer : m_buffers)
            waveOutUnprepareHeader(m_device, &buffer.header, sizeof(WAVEHDR));
        waveOutClose(m_device);
        m_device = nullptr;
    }

    // Refills every buffer the device has played with cue samples or
    // silence; suspends the stream once it has been silent for long.
    void feed()
    {
        const auto now = CueStream::Clock::now();
        if (m_cues.isPlaying()) {
            m_lastSound = now;
        } else if (now - m_lastSound > kOutputSuspendAfter) {
            m_feeder->stop();
            waveOutPause(m_device);
            m_paused = true;
            return;
        }
        for (Buffer& buffer : m_buffers) {
            if (!(buffer.header.dwFlags & WHDR_DONE))
                continue;
            m_cues.read(buffer.bytes.data(), qint64(buffer.bytes.size()));
            if (waveOutWrite(m_device, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
                // The device is gone: the next cue opens a new stream.
                exit();
                return;
            }
        }
    }

    // A new cue cuts off whatever is queued, so that it is heard at once.
    void startCue()
    {
        if (!m_device || !m_feeder)
            return;
        waveOutReset(m_device);
        if (m_paused) {
            waveOutRestart(m_device);
            m_paused = false;
            m_feeder->start();
        }
        feed();
    }

    struct Buffer {
        std::vector<char> bytes;
        WAVEHDR header {};
    };

    const OutputFormat m_format;
    CueStream& m_cues;
    QObject m_waker; // lives on the output thread; cues are posted to it
    std::atomic<qint64> m_bufferMicroseconds {0};
    std::atomic<bool> m_leaveStreamOpen {false};
    // Used on the output thread only, while it runs.
    HWAVEOUT m_device = nullptr;
    std::array<Buffer, kBufferCount> m_buffers;
    QTimer* m_feeder = nullptr;
    bool m_paused = false;
    CueStream::Clock::time_point m_lastSound;
};

} // namespace

std::optional<AudioOutput> defaultAudioOutput(CueStream& cues, int preferredRate)
{
    if (waveOutGetNumDevs() == 0)
        return std::nullopt;
    // The wave mapper takes any PCM format and converts it for the device.
    const OutputFormat format {preferredRate, 1};
    return AudioOutput {std::make_unique<WaveOutThread>(format, cues), format};
}

} // namespace platform
