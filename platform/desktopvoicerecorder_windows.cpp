#include "platform/desktopvoicerecorder.h"

#include "platform/files.h"
#include "platform/recordingplayer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QtEndian>

#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <cstdlib>

// The parent's voice on Windows goes in through winmm's waveIn, which every
// Windows has, and is kept as 16 kHz mono WAV (at most 160 KB for the
// longest recording). Qt Multimedia's recorder would compress it, but this
// build leaves Qt Multimedia out (see soundoutput_windows.cpp).
namespace platform {

using namespace std::chrono_literals;

namespace {

constexpr int kSampleRate = 16000;
constexpr int kBytesPerSample = 2;
// A tenth of a second per buffer: the level meter moves ten times a second.
constexpr int kBufferBytes = kSampleRate * kBytesPerSample / 10;
constexpr int kBufferCount = 8;

qreal peakOf(const char* samples, qsizetype bytes)
{
    int peak = 0;
    for (qsizetype i = 0; i + 1 < bytes; i += 2)
        peak = std::max(peak, std::abs(int(qFromLittleEndian<qint16>(samples + i))));
    return peak / 32768.0;
}

// A RIFF/WAVE file of 16-bit mono PCM around `samples`.
QByteArray waveFile(const QByteArray& samples)
{
    QByteArray file;
    const auto add32 = [&file](quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        file.append(bytes, 4);
    };
    const auto add16 = [&file](quint16 value) {
        char bytes[2];
        qToLittleEndian(value, bytes);
        file.append(bytes, 2);
    };
    file += "RIFF";
    add32(quint32(36 + samples.size()));
    file += "WAVEfmt ";
    add32(16);
    add16(WAVE_FORMAT_PCM);
    add16(1);
    add32(kSampleRate);
    add32(kSampleRate * kBytesPerSample);
    add16(kBytesPerSample);
    add16(8 * kBytesPerSample);
    file += "data";
    add32(quint32(samples.size()));
    return file + samples;
}

// A recording is at most 160 KB of PCM here, copied and resampled in well
// under a millisecond: it is decoded on the screen's thread, though not in
// the key's handler but once the events waiting have been seen to.
void decodeRecording(const QString& path, int rate, QObject* context, RecordingPlayer::Done done)
{
    QTimer::singleShot(0, context, [path, rate, done] {
        QFile file(path);
        done(file.open(QIODevice::ReadOnly) ? decodeWav(file.readAll(), rate) : std::nullopt);
    });
}

class WaveInVoiceRecorder final : public VoiceRecorder {
public:
    WaveInVoiceRecorder()
    {
        m_limit.setSingleShot(true);
        connect(&m_limit, &QTimer::timeout, this, &WaveInVoiceRecorder::stop);
        // waveIn hands back full buffers; they are collected from here, on
        // the screen's thread, rather than in winmm's callback thread.
        m_collector.setInterval(50ms);
        connect(&m_collector, &QTimer::timeout, this, [this] { collectFullBuffers(true); });
    }

    ~WaveInVoiceRecorder() override { closeDevice(); }

    void start(const QString& path) override
    {
        if (m_device)
            return;
        if (waveInGetNumDevs() == 0) {
            Q_EMIT failed(noMicrophoneMessage());
            return;
        }
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !openDevice()) {
            Q_EMIT failed(recordingFailedMessage());
            return;
        }
        m_target = path;
        m_samples.clear();
        m_capturing = false;
        m_limit.start(kLongest);
        m_collector.start();
    }

    void stop() override
    {
        if (!m_device)
            return;
        m_limit.stop();
        m_collector.stop();
        // Marks every queued buffer done, with what it holds so far.
        waveInReset(m_device);
        collectFullBuffers(false);
        closeDevice();
        keepRecording();
    }

    bool isRecording() const override { return m_device != nullptr; }

    void preload(const QString& path) override { m_playback.preload(path); }
    void play(const QString& path) override { m_playback.play(path); }

private:
    bool openDevice()
    {
        WAVEFORMATEX format {};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 1;
        format.nSamplesPerSec = kSampleRate;
        format.wBitsPerSample = 8 * kBytesPerSample;
        format.nBlockAlign = kBytesPerSample;
        format.nAvgBytesPerSec = kSampleRate * kBytesPerSample;
        m_queued = 0;
        if (waveInOpen(&m_device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            m_device = nullptr;
            return false;
        }
        for (std::size_t i = 0; i < m_headers.size(); ++i) {
            m_headers[i] = WAVEHDR {};
            m_headers[i].lpData = m_buffers[i].data();
            m_headers[i].dwBufferLength = kBufferBytes;
            waveInPrepareHeader(m_device, &m_headers[i], sizeof(WAVEHDR));
            waveInAddBuffer(m_device, &m_headers[i], sizeof(WAVEHDR));
        }
        if (waveInStart(m_device) != MMSYSERR_NOERROR) {
            closeDevice();
            return false;
        }
        return true;
    }

    void closeDevice()
    {
        if (!m_device)
            return;
        waveInReset(m_device);
        for (WAVEHDR& header : m_headers)
            waveInUnprepareHeader(m_device, &header, sizeof(WAVEHDR));
        waveInClose(m_device);
        m_device = nullptr;
    }

    // Takes the samples of every buffer waveIn is done with, oldest first,
    // and gives the buffer back while recording goes on.
    void collectFullBuffers(bool requeue)
    {
        for (;;) {
            WAVEHDR* oldest = nullptr;
            for (WAVEHDR& header : m_headers) {
                if ((header.dwFlags & WHDR_DONE) && (!oldest || header.dwUser < oldest->dwUser))
                    oldest = &header;
            }
            if (!oldest)
                return;
            m_samples.append(oldest->lpData, qsizetype(oldest->dwBytesRecorded));
            if (oldest->dwBytesRecorded > 0)
                tellLevel(oldest->lpData, qsizetype(oldest->dwBytesRecorded));
            oldest->dwFlags &= ~DWORD(WHDR_DONE);
            oldest->dwBytesRecorded = 0;
            oldest->dwUser = ++m_queued;
            if (requeue)
                waveInAddBuffer(m_device, oldest, sizeof(WAVEHDR));
        }
    }

    // The first samples say that the adult can speak; the meter follows.
    void tellLevel(const char* samples, qsizetype bytes)
    {
        if (!m_capturing) {
            m_capturing = true;
            Q_EMIT capturing();
        }
        Q_EMIT levelChanged(peakOf(samples, bytes));
    }

    void keepRecording()
    {
        if (m_samples.isEmpty() || !replaceFile(m_target, waveFile(m_samples)).ok()) {
            Q_EMIT failed(recordingFailedMessage());
            return;
        }
        m_playback.forget(m_target);
        Q_EMIT finished(m_target);
    }

    HWAVEIN m_device = nullptr;
    std::array<std::array<char, kBufferBytes>, kBufferCount> m_buffers {};
    std::array<WAVEHDR, kBufferCount> m_headers {};
    // Buffers come back in the order they were queued: each is numbered as
    // it goes in (dwUser), so that the samples stay in order.
    DWORD_PTR m_queued = 0;
    QByteArray m_samples;
    bool m_capturing = false;
    QTimer m_limit;
    QTimer m_collector;
    QString m_target;
    RecordingPlayer m_playback {desktopSoundPlayer(), decodeRecording};
};

} // namespace

std::unique_ptr<VoiceRecorder> makeDesktopVoiceRecorder()
{
    return std::make_unique<WaveInVoiceRecorder>();
}

} // namespace platform
