#include "platform/desktopvoicerecorder.h"

#include "platform/recordingplayer.h"

#include <QAudioBuffer>
#include <QAudioDecoder>
#include <QAudioDevice>
#include <QAudioInput>
#include <QAudioSource>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QMediaFormat>
#include <QMediaRecorder>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <filesystem>

namespace platform {

namespace {

// The peak of a block of signed 16-bit samples, from 0 to 1.
qreal peakOf(const QByteArray& samples)
{
    const auto* values = reinterpret_cast<const qint16*>(samples.constData());
    int peak = 0;
    for (qsizetype i = 0; i < samples.size() / 2; ++i)
        peak = std::max(peak, std::abs(int(values[i])));
    return peak / 32768.0;
}

// A decoded buffer's frames as mono samples at `rate`, whatever format the
// decoder gave it in.
CueSamples monoSamples(const QAudioBuffer& buffer, int rate)
{
    const QAudioFormat format = buffer.format();
    const auto* bytes = buffer.constData<char>();
    CueSamples samples(std::size_t(buffer.frameCount()));
    for (std::size_t frame = 0; frame < samples.size(); ++frame) {
        float sum = 0;
        for (int channel = 0; channel < format.channelCount(); ++channel)
            sum += format.normalizedSampleValue(bytes + frame * format.bytesPerFrame()
                                                + channel * format.bytesPerSample());
        samples[frame] = qint16(std::clamp(sum / format.channelCount(), -1.0f, 1.0f) * 32767);
    }
    return resampled(samples, format.sampleRate(), rate);
}

// GStreamer decodes on threads of its own; the screen's thread only
// collects the buffers. Asked for mono 16-bit at the output's rate, it
// converts them too.
void decodeRecording(const QString& path, int rate, QObject* context, RecordingPlayer::Done done)
{
    auto* decoder = new QAudioDecoder(context); // goes with the context
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    decoder->setAudioFormat(format);
    decoder->setSource(QUrl::fromLocalFile(path));
    auto samples = std::make_shared<CueSamples>();
    QObject::connect(decoder, &QAudioDecoder::bufferReady, decoder, [decoder, samples, rate] {
        const CueSamples more = monoSamples(decoder->read(), rate);
        samples->insert(samples->end(), more.begin(), more.end());
    });
    const auto end = [decoder, samples, done](bool decoded) {
        QObject::disconnect(decoder, nullptr, nullptr, nullptr); // an error may follow the end
        decoder->deleteLater();
        done(decoded && !samples->empty() ? std::optional(std::move(*samples)) : std::nullopt);
    };
    QObject::connect(decoder, &QAudioDecoder::finished, decoder, [end] { end(true); });
    QObject::connect(decoder, qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), decoder,
                     [end] { end(false); });
    decoder->start();
}

class DesktopVoiceRecorder final : public VoiceRecorder {
public:
    DesktopVoiceRecorder()
    {
        // Without its input for now: a capture session with an input keeps
        // the microphone open.
        m_session.setRecorder(&m_recorder);
        QMediaFormat format(QMediaFormat::Ogg);
        format.setAudioCodec(QMediaFormat::AudioCodec::Opus);
        m_recorder.setMediaFormat(format);
        m_recorder.setQuality(QMediaRecorder::LowQuality); // speech: small files
        connect(&m_recorder, &QMediaRecorder::recorderStateChanged, this,
                [this](QMediaRecorder::RecorderState state) {
                    if (state == QMediaRecorder::StoppedState)
                        keepRecording();
                });
        connect(&m_recorder, &QMediaRecorder::errorOccurred, this,
                [this] { fail(recordingFailedMessage()); });
        // The duration counts the sound that has reached the encoder: the
        // recorder's state changes long before, while the microphone opens.
        connect(&m_recorder, &QMediaRecorder::durationChanged, this, [this](qint64 ms) {
            if (m_recording && !m_capturing && ms > 0) {
                m_capturing = true;
                Q_EMIT capturing();
            }
        });
        m_limit.setSingleShot(true);
        connect(&m_limit, &QTimer::timeout, this, &DesktopVoiceRecorder::stop);
    }

    void start(const QString& path) override
    {
        if (m_recording)
            return;
        const QAudioDevice microphone = QMediaDevices::defaultAudioInput();
        if (microphone.isNull()) {
            Q_EMIT failed(noMicrophoneMessage());
            return;
        }
        if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
            Q_EMIT failed(recordingFailedMessage());
            return;
        }
        if (isMicrophoneOpen() && m_input.device() != microphone)
            closeMicrophoneNow(); // another default since it opened
        openMicrophone();
        m_target = path;
        m_failed = false;
        m_capturing = false;
        m_recording = true;
        // Written beside the recording it replaces, and renamed over it once
        // complete: a failed recording leaves the old one whole.
        m_recorder.setOutputLocation(QUrl::fromLocalFile(path + QStringLiteral(".part")));
        m_recorder.record();
        m_limit.start(kLongest);
    }

    void stop() override
    {
        if (!m_recording)
            return;
        m_limit.stop();
        m_recorder.stop();
    }

    void openMicrophone() override
    {
        if (isMicrophoneOpen())
            return;
        const QAudioDevice microphone = QMediaDevices::defaultAudioInput();
        if (microphone.isNull())
            return; // start() says so
        m_closeAfterRecording = false;
        m_input.setDevice(microphone);
        m_session.setAudioInput(&m_input);
        // After the recording that may follow at once has been asked for:
        // the meter's stream takes a while to open.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isMicrophoneOpen() && !m_meter)
                    startMeter(m_input.device());
            },
            Qt::QueuedConnection);
    }

    void closeMicrophone() override
    {
        if (m_recording)
            m_closeAfterRecording = true;
        else
            closeMicrophoneNow();
    }

    bool isMicrophoneOpen() const override { return m_session.audioInput() != nullptr; }

    void preload(const QString& path) override { m_playback.preload(path); }

    bool isRecording() const override { return m_recording; }

    void play(const QString& path) override { m_playback.play(path); }

private:
    void startMeter(const QAudioDevice& microphone)
    {
        QAudioFormat format;
        format.setSampleRate(16000);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        m_meter = std::make_unique<QAudioSource>(microphone, format);
        m_meter->setBufferSize(3200); // 0.1 s
        QIODevice* samples = m_meter->start();
        if (!samples)
            return; // no meter, the recording goes on
        connect(samples, &QIODevice::readyRead, this, [this, samples] {
            const qreal level = peakOf(samples->readAll());
            if (m_recording && m_capturing)
                Q_EMIT levelChanged(level);
        });
    }

    void stopMeter()
    {
        if (m_meter)
            m_meter->stop();
        m_meter.reset();
    }

    void closeMicrophoneNow()
    {
        m_closeAfterRecording = false;
        stopMeter();
        m_session.setAudioInput(nullptr);
    }

    void keepRecording()
    {
        if (!m_recording)
            return;
        m_recording = false;
        if (m_closeAfterRecording)
            closeMicrophoneNow();
        // The recorder may have added the format's own suffix.
        const QString written = m_recorder.actualLocation().toLocalFile();
        if (m_failed)
            return;
        std::error_code error;
        if (written.isEmpty() || QFileInfo(written).size() == 0) {
            QFile::remove(written);
            Q_EMIT failed(recordingFailedMessage());
            return;
        }
        std::filesystem::rename(QFile::encodeName(written).toStdString(),
                                QFile::encodeName(m_target).toStdString(), error);
        if (error) {
            QFile::remove(written);
            Q_EMIT failed(recordingFailedMessage());
            return;
        }
        m_playback.forget(m_target);
        Q_EMIT finished(m_target);
    }

    void fail(const QString& message)
    {
        if (m_failed)
            return;
        m_failed = true;
        const bool wasRecording = m_recording;
        m_limit.stop();
        m_recorder.stop();
        m_recording = false;
        closeMicrophoneNow(); // opened afresh for the next recording
        QFile::remove(m_recorder.actualLocation().toLocalFile());
        if (wasRecording)
            Q_EMIT failed(message);
    }

    QMediaCaptureSession m_session;
    QAudioInput m_input;
    QMediaRecorder m_recorder;
    std::unique_ptr<QAudioSource> m_meter;
    QTimer m_limit;
    RecordingPlayer m_playback {desktopSoundPlayer(), decodeRecording};
    QString m_target;
    bool m_recording = false;
    bool m_capturing = false;
    bool m_failed = false;
    bool m_closeAfterRecording = false;
};

} // namespace

std::unique_ptr<VoiceRecorder> makeDesktopVoiceRecorder()
{
    return std::make_unique<DesktopVoiceRecorder>();
}

} // namespace platform
