#include "platform/soundoutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>

#include <atomic>

// The cues go out through Qt Multimedia's audio sink (PulseAudio or
// PipeWire on Linux).
namespace platform {

using namespace std::chrono_literals;

namespace {

// How much sound the output stream holds ahead of what is heard: the delay
// of a cue. Topping it up every kOutputFeedInterval leaves it three refills
// of slack before it would run dry.
constexpr std::chrono::microseconds kBufferDuration = 20ms;

// 16-bit samples at the cues' rate in mono if the device takes them, else in
// the device's own rate and channel count.
QAudioFormat outputFormat(const QAudioDevice& device, int preferredRate)
{
    QAudioFormat format;
    format.setSampleFormat(QAudioFormat::Int16);
    format.setSampleRate(preferredRate);
    format.setChannelCount(1);
    if (device.isFormatSupported(format))
        return format;
    const QAudioFormat preferred = device.preferredFormat();
    if (preferred.sampleRate() > 0)
        format.setSampleRate(preferred.sampleRate());
    if (preferred.channelCount() > 0)
        format.setChannelCount(preferred.channelCount());
    return format;
}

// A QAudioSink, opened, fed and closed on the thread.
class AudioSinkThread final : public OutputThread {
public:
    AudioSinkThread(const QAudioDevice& device, const QAudioFormat& format, CueStream& cues)
        : m_audioDevice(device)
        , m_format(format)
        , m_cues(cues)
    {
        m_waker.moveToThread(this);
    }

    ~AudioSinkThread() override
    {
        quit();
        wait();
    }

    void quitLeavingStreamOpen() override
    {
        m_leaveStreamOpen = true;
        quit();
    }

    void wake() override
    {
        QMetaObject::invokeMethod(
            &m_waker, [this] { resumeAndFeed(); }, Qt::QueuedConnection);
    }

    std::chrono::microseconds bufferDuration() const override
    {
        return std::chrono::microseconds(m_bufferMicroseconds.load());
    }

protected:
    void run() override
    {
        auto owner = std::make_unique<QAudioSink>(m_audioDevice, m_format);
        QAudioSink& sink = *owner;
        sink.setBufferSize(m_format.bytesForDuration(kBufferDuration.count()));
        QIODevice* sinkInput = sink.start();
        if (!sinkInput || sink.error() != QAudio::NoError)
            return;
        m_bufferMicroseconds = m_format.durationForBytes(int(sink.bufferSize()));

        QTimer feeder;
        feeder.setTimerType(Qt::PreciseTimer);
        feeder.setInterval(kOutputFeedInterval);
        QObject::connect(&feeder, &QTimer::timeout, &feeder, [this] { feed(); });
        // A stream that stops by itself has been dropped by the audio system.
        QObject::connect(&sink, &QAudioSink::stateChanged, &feeder, [this](QAudio::State state) {
            if (state == QAudio::StoppedState)
                exit();
        });
        m_sink = &sink;
        m_sinkInput = sinkInput;
        m_feeder = &feeder;
        m_lastSound = CueStream::Clock::now();
        feed();
        feeder.start();
        exec();
        m_sink = nullptr;
        m_sinkInput = nullptr;
        m_feeder = nullptr;
        feeder.stop();
        m_bufferMicroseconds = 0;
        if (m_leaveStreamOpen)
            leaveToTheProcess(owner.release());
        else
            sink.stop();
    }

private:
    // Fills the room the stream has with cue samples or silence, in whole
    // frames; suspends the stream once it has been silent for long.
    void feed()
    {
        const auto now = CueStream::Clock::now();
        if (m_cues.isPlaying())
            m_lastSound = now;
        else if (now - m_lastSound > kOutputSuspendAfter) {
            m_feeder->stop();
            m_sink->suspend();
            return;
        }
        const qsizetype frameBytes = m_cues.bytesPerFrame();
        const qsizetype room = m_sink->bytesFree() / frameBytes * frameBytes;
        if (room <= 0)
            return;
        m_chunk.resize(room);
        m_cues.read(m_chunk.data(), room);
        m_sinkInput->write(m_chunk);
    }

    void resumeAndFeed()
    {
        if (!m_sink)
            return;
        if (m_sink->state() == QAudio::SuspendedState) {
            m_sink->resume();
            m_feeder->start();
        }
        feed();
    }

    const QAudioDevice m_audioDevice;
    const QAudioFormat m_format;
    CueStream& m_cues;
    QObject m_waker; // lives on the output thread; cues are posted to it
    std::atomic<qint64> m_bufferMicroseconds {0};
    std::atomic<bool> m_leaveStreamOpen {false};
    // Used on the output thread only, while it runs.
    QAudioSink* m_sink = nullptr;
    QIODevice* m_sinkInput = nullptr;
    QTimer* m_feeder = nullptr;
    QByteArray m_chunk;
    CueStream::Clock::time_point m_lastSound;
};

} // namespace

std::optional<AudioOutput> defaultAudioOutput(CueStream& cues, int preferredRate)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return std::nullopt;
    const QAudioFormat format = outputFormat(device, preferredRate);
    return AudioOutput {std::make_unique<AudioSinkThread>(device, format, cues),
                        OutputFormat {format.sampleRate(), format.channelCount()}};
}

} // namespace platform
