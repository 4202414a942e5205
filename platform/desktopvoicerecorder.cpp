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
        m_session.setAudioInput(&m_input);
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
        m_limit.setSingleShot(true);
        connect(&m_limit, &QTimer::timeout, this, &DesktopVoiceRecorder::stop);
        m_player.setAudioOutput(&m_output);
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
        m_target = path;
        m_failed = false;
        m_recording = true;
        m_input.setDevice(microphone);
        // Written beside the recording it replaces, and renamed over it once
        // complete: a failed recording leaves the old one whole.
        m_recorder.setOutputLocation(QUrl::fromLocalFile(path + QStringLiteral(".part")));
        m_recorder.record();
        m_limit.start(kLongest);
        startMeter(microphone);
    }

    void stop() override
    {
        if (!m_recording)
            return;
        m_limit.stop();
        stopMeter();
        m_recorder.stop();
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
        connect(samples, &QIODevice::readyRead, this,
                [this, samples] { Q_EMIT levelChanged(peakOf(samples->readAll())); });
    }

    void stopMeter()
    {
        if (m_meter)
            m_meter->stop();
        m_meter.reset();
    }

    void keepRecording()
    {
        if (!m_recording)
            return;
        m_recording = false;
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
        stopMeter();
        m_recorder.stop();
        m_recording = false;
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
    bool m_failed = false;
};

} // namespace

std::unique_ptr<VoiceRecorder> makeDesktopVoiceRecorder()
{
    return std::make_unique<DesktopVoiceRecorder>();
}

} // namespace platform
