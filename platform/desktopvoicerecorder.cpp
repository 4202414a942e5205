#include "platform/desktopvoicerecorder.h"

#include <QAudioDevice>
#include <QAudioInput>
#include <QAudioOutput>
#include <QAudioSource>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QMediaFormat>
#include <QMediaPlayer>
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
        m_player.setAudioOutput(&m_output);
        m_player.setParent(this); // found by the benchmark
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

    void preload(const QString& path) override
    {
        const QUrl source = QUrl::fromLocalFile(path);
        if (m_player.source() != source && m_player.playbackState() != QMediaPlayer::PlayingState)
            m_player.setSource(source);
    }

    bool isRecording() const override { return m_recording; }

    void play(const QString& path) override
    {
        const QUrl source = QUrl::fromLocalFile(path);
        if (m_player.source() != source)
            m_player.setSource(source);
        else
            m_player.setPosition(0);
        m_player.play();
    }

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
    QMediaPlayer m_player;
    QAudioOutput m_output;
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
