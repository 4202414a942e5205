#include "platform/soundplayer.h"

#include "platform/soundoutput.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>
#include <QtEndian>

#include <algorithm>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUENLO_LEAK_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUENLO_LEAK_CHECKED 1
#endif
#if defined(QUENLO_LEAK_CHECKED)
#include <sanitizer/lsan_interface.h>
#endif

namespace platform {

void leaveToTheProcess(void* object)
{
#if defined(QUENLO_LEAK_CHECKED)
    __lsan_ignore_object(object);
#else
    (void)object;
#endif
}

using namespace std::chrono_literals;

namespace {

// The cues' own rate: they go out as they are, and the audio system, whose
// resampler is better than ours, converts them for the device.
constexpr int kPreferredRate = 22050;
// How long a release waits for the output to close.
constexpr std::chrono::milliseconds kReleaseTimeout = 2000ms;
// How long the program's end waits for the output thread, which then has
// nothing to wait for but its own event loop.
constexpr std::chrono::milliseconds kExitTimeout = 200ms;
// A cue is a second or two; anything this large is not one, and is not read.
constexpr qint64 kMaxCueFileBytes = 64 * 1024 * 1024;

// ---- WAV files

constexpr quint16 kPcmTag = 1;
constexpr quint16 kExtensibleTag = 0xFFFE;

struct WavFormat {
    int channelCount = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;

    int bytesPerFrame() const { return channelCount * bitsPerSample / 8; }
};

struct WavChunks {
    QByteArrayView format;
    QByteArrayView data;
    bool hasFormat = false;
    bool hasData = false;
};

quint16 littleEndian16(const char* at)
{
    return qFromLittleEndian<quint16>(at);
}
quint32 littleEndian32(const char* at)
{
    return qFromLittleEndian<quint32>(at);
}

// Finds the "fmt " and "data" chunks, wherever they stand. Nothing for a file
// that is not RIFF/WAVE or whose chunks run past its end.
std::optional<WavChunks> findChunks(QByteArrayView bytes)
{
    if (bytes.size() < 12 || bytes.first(4) != "RIFF" || bytes.sliced(8, 4) != "WAVE")
        return std::nullopt;
    WavChunks chunks;
    qsizetype at = 12;
    // Whatever follows the two chunks we need (tags, padding) is not looked at.
    while (!(chunks.hasFormat && chunks.hasData) && bytes.size() - at >= 8) {
        const QByteArrayView id = bytes.sliced(at, 4);
        const quint32 size = littleEndian32(bytes.data() + at + 4);
        at += 8;
        if (size > quint64(bytes.size() - at))
            return std::nullopt;
        const QByteArrayView body = bytes.sliced(at, size);
        if (id == "fmt ") {
            chunks.format = body;
            chunks.hasFormat = true;
        } else if (id == "data") {
            chunks.data = body;
            chunks.hasData = true;
        }
        at += size + (size & 1); // chunks start on even offsets
    }
    if (!chunks.hasFormat || !chunks.hasData)
        return std::nullopt;
    return chunks;
}

// Accepts plain PCM, also when written with the extensible header, in the
// sample sizes and channel counts that cues use.
std::optional<WavFormat> parseFormat(QByteArrayView chunk)
{
    if (chunk.size() < 16)
        return std::nullopt;
    quint16 tag = littleEndian16(chunk.data());
    if (tag == kExtensibleTag && chunk.size() >= 26)
        tag = littleEndian16(chunk.data() + 24); // the sub-format's leading tag
    WavFormat format;
    format.channelCount = littleEndian16(chunk.data() + 2);
    format.sampleRate = int(std::min<quint32>(littleEndian32(chunk.data() + 4), 1'000'000));
    format.bitsPerSample = littleEndian16(chunk.data() + 14);
    const bool supported = tag == kPcmTag && (format.channelCount == 1 || format.channelCount == 2)
                           && (format.bitsPerSample == 8 || format.bitsPerSample == 16)
                           && format.sampleRate >= 1000 && format.sampleRate <= 384000;
    if (!supported)
        return std::nullopt;
    return format;
}

// One sample as signed 16 bits: 8-bit samples are unsigned around 128.
int sampleAt(const char* at, int bitsPerSample)
{
    if (bitsPerSample == 8)
        return (int(quint8(*at)) - 128) * 256;
    return qint16(littleEndian16(at));
}

// The frames as mono samples: the channels' average.
CueSamples toMono(QByteArrayView data, const WavFormat& format)
{
    const int frameBytes = format.bytesPerFrame();
    const int sampleBytes = format.bitsPerSample / 8;
    CueSamples samples(std::size_t(data.size() / frameBytes)); // a partial last frame is dropped
    for (std::size_t frame = 0; frame < samples.size(); ++frame) {
        const char* at = data.data() + frame * frameBytes;
        int sum = 0;
        for (int channel = 0; channel < format.channelCount; ++channel)
            sum += sampleAt(at + channel * sampleBytes, format.bitsPerSample);
        samples[frame] = qint16(sum / format.channelCount);
    }
    return samples;
}

} // namespace

// Positions are kept as exact fractions, so long cues do not drift.
CueSamples resampled(const CueSamples& input, int fromRate, int toRate)
{
    if (fromRate == toRate || input.empty())
        return input;
    const std::size_t outputCount = std::size_t(qint64(input.size()) * toRate / fromRate);
    CueSamples output(outputCount);
    for (std::size_t i = 0; i < outputCount; ++i) {
        const qint64 position = qint64(i) * fromRate;
        const std::size_t index = std::size_t(position / toRate);
        const qint64 fraction = position % toRate;
        const int before = input[index];
        const int after = index + 1 < input.size() ? input[index + 1] : before;
        output[i] = qint16(before + (after - before) * fraction / toRate);
    }
    return output;
}

std::optional<CueSamples> decodeWav(QByteArrayView bytes, int outputRate)
{
    const std::optional<WavChunks> chunks = findChunks(bytes);
    if (!chunks)
        return std::nullopt;
    const std::optional<WavFormat> format = parseFormat(chunks->format);
    if (!format)
        return std::nullopt;
    return resampled(toMono(chunks->data, *format), format->sampleRate, outputRate);
}

// ---- CueStream

CueStream::CueStream(int channelCount)
    : m_channelCount(channelCount)
{
}

void CueStream::setChannelCount(int channelCount)
{
    QMutexLocker lock(&m_mutex);
    m_channelCount = std::max(channelCount, 1);
}

int CueStream::bytesPerFrame() const
{
    QMutexLocker lock(&m_mutex);
    return m_channelCount * int(sizeof(qint16));
}

void CueStream::start(std::shared_ptr<const CueSamples> cue)
{
    QMutexLocker lock(&m_mutex);
    m_cue = std::move(cue);
    m_position = 0;
    m_askedAt = Clock::now();
    m_handoverPending = true;
}

void CueStream::stop()
{
    QMutexLocker lock(&m_mutex);
    m_cue.reset();
    m_handoverPending = false;
}

bool CueStream::isPlaying() const
{
    QMutexLocker lock(&m_mutex);
    return m_cue != nullptr;
}

std::optional<CueStream::Handover> CueStream::lastHandover() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastHandover;
}

qint64 CueStream::readData(char* data, qint64 maxSize)
{
    QMutexLocker lock(&m_mutex);
    const qint64 frameBytes = m_channelCount * qint64(sizeof(qint16));
    const qint64 frames = maxSize / frameBytes;
    const std::size_t remaining = m_cue ? m_cue->size() - m_position : 0;
    const std::size_t cueFrames = std::min<std::size_t>(remaining, std::size_t(frames));
    char* at = data;
    for (std::size_t frame = 0; frame < std::size_t(frames); ++frame) {
        const qint16 sample = frame < cueFrames ? (*m_cue)[m_position + frame] : 0;
        for (int channel = 0; channel < m_channelCount; ++channel, at += sizeof(qint16))
            qToUnaligned(sample, at);
    }
    if (cueFrames > 0 && m_handoverPending) {
        m_lastHandover = Handover {m_askedAt, Clock::now()};
        m_handoverPending = false;
    }
    m_position += cueFrames;
    if (m_cue && m_position >= m_cue->size())
        m_cue.reset();
    return frames * frameBytes;
}

qint64 CueStream::writeData(const char*, qint64)
{
    return -1;
}

// ---- SoundPlayer

SoundPlayer::SoundPlayer(Output output, std::function<void()> defaultSound)
    : m_output(output)
    , m_defaultSound(defaultSound ? std::move(defaultSound) : [] { QApplication::beep(); })
    , m_sampleRate(kPreferredRate)
{
    m_stream.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

SoundPlayer::~SoundPlayer()
{
    release();
}

void SoundPlayer::preload(const QStringList& paths)
{
    startOutput();
    for (const QString& path : paths)
        cueFor(path);
}

void SoundPlayer::play(const QString& path)
{
    startOutput();
    const std::shared_ptr<const CueSamples> cue = cueFor(path);
    if (!cue) {
        // The default sound takes the cue's place; the missing cue is not reported.
        m_stream.stop();
        m_defaultSound();
        return;
    }
    play(cue);
}

void SoundPlayer::play(std::shared_ptr<const CueSamples> samples)
{
    startOutput();
    m_stream.start(std::move(samples));
    if (m_thread)
        m_thread->wake();
}

void SoundPlayer::release()
{
    m_stream.stop();
    if (m_thread) {
        m_thread->quit();
        endThread(kReleaseTimeout);
    }
    m_cues.clear();
}

void SoundPlayer::releaseAtExit()
{
    m_stream.stop();
    if (m_thread) {
        m_thread->quitLeavingStreamOpen();
        endThread(kExitTimeout);
    }
    m_cues.clear();
}

void SoundPlayer::endThread(std::chrono::milliseconds timeout)
{
    // A thread stuck in the audio system must not keep the program from
    // ending: it is left to end with the process.
    if (!m_thread->wait(QDeadlineTimer(timeout)))
        leaveToTheProcess(m_thread.release());
    m_thread.reset();
}

bool SoundPlayer::hasOutput() const
{
    return m_thread && m_thread->isRunning() && m_thread->bufferDuration() > 0us;
}

std::chrono::microseconds SoundPlayer::outputBufferDuration() const
{
    return m_thread ? m_thread->bufferDuration() : 0us;
}

std::shared_ptr<const CueSamples> SoundPlayer::cueFor(const QString& path)
{
    const QFileInfo file(path);
    // A cue removed since it was decoded is missing, not played from memory.
    if (!file.isFile() || file.size() > kMaxCueFileBytes)
        return nullptr;
    if (const auto found = m_cues.constFind(path); found != m_cues.constEnd())
        return *found;
    QFile reader(path);
    if (!reader.open(QIODevice::ReadOnly))
        return nullptr;
    std::optional<CueSamples> samples = decodeWav(reader.readAll(), m_sampleRate);
    if (!samples)
        return nullptr;
    auto cue = std::make_shared<const CueSamples>(std::move(*samples));
    m_cues.insert(path, cue);
    return cue;
}

// Opens the output unless it runs: at start-up, and again after the audio
// system dropped it. Without a device (or an application) there is none.
void SoundPlayer::startOutput()
{
    if (m_output == Output::None || !QCoreApplication::instance())
        return;
    if (m_thread && !m_thread->isFinished())
        return;
    std::optional<AudioOutput> output = defaultAudioOutput(m_stream, kPreferredRate);
    if (!output)
        return;
    if (output->format.sampleRate != m_sampleRate) {
        m_sampleRate = output->format.sampleRate;
        m_cues.clear(); // decoded for another rate
    }
    m_stream.setChannelCount(output->format.channelCount);
    m_thread = std::move(output->thread);
    m_thread->start();
}

} // namespace platform
