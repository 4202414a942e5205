#include "stage/parentvoice.h"

#include "platform/effects.h"
#include "platform/guard.h"
#include "platform/voicerecorder.h"
#include "stage/levelmeter.h"

#include <QFileInfo>

namespace stage {

ParentVoice::ParentVoice(QWidget* stage, std::function<void(const QString&)> tell)
    : QObject(stage)
    , m_stage(stage)
    , m_tell(std::move(tell))
{
    m_keepMicrophone.setSingleShot(true);
    m_keepMicrophone.setInterval(kKeepMicrophoneOpen);
    connect(&m_keepMicrophone, &QTimer::timeout, this, [this] {
        // A recording running restarts the wait when it ends.
        if (!isRecording())
            releaseMicrophone();
    });
}

ParentVoice::~ParentVoice()
{
    delete m_meter;
}

platform::VoiceRecorder& ParentVoice::recorder()
{
    // Made on first use, so that a start without recording never wakes the
    // microphone; made again should the effects have been replaced.
    platform::VoiceRecorder& recorder = platform::effects().voiceRecorder();
    if (m_connected == &recorder)
        return recorder;
    if (m_connected)
        m_connected->disconnect(this);
    m_connected = &recorder;
    connect(&recorder, &platform::VoiceRecorder::capturing, this, [this] { showCapturing(); });
    connect(&recorder, &platform::VoiceRecorder::levelChanged, this, [this](qreal level) {
        if (m_meter && m_meter->isCapturing())
            m_meter->setLevel(level);
    });
    connect(&recorder, &platform::VoiceRecorder::finished, this, [this] { endRecording(); });
    connect(&recorder, &platform::VoiceRecorder::failed, this, [this](const QString& message) {
        endRecording();
        platform::guarded(m_stage, [this, &message] { m_tell(message); });
    });
    return recorder;
}

void ParentVoice::startRecording(const QByteArray& entry, QPoint meterPlace)
{
    if (entry.isEmpty() || isRecording())
        return;
    if (!m_meter)
        m_meter = new LevelMeter;
    m_meter->setLevel(0);
    m_meter->setCapturing(false);
    m_meter->move(meterPlace);
    m_meter->show();
    prepareToRecord();
    recorder().start(platform::recordingFile(entry));
}

void ParentVoice::prepareToRecord()
{
    recorder().openMicrophone();
    m_keepMicrophone.start();
}

void ParentVoice::releaseMicrophone()
{
    m_keepMicrophone.stop();
    if (m_connected)
        m_connected->closeMicrophone();
}

void ParentVoice::showCapturing()
{
    if (m_meter && isRecording())
        m_meter->setCapturing(true);
}

void ParentVoice::stopRecording()
{
    if (isRecording())
        recorder().stop();
}

bool ParentVoice::isRecording() const
{
    return m_connected && m_connected->isRecording();
}

void ParentVoice::endRecording()
{
    if (m_meter)
        m_meter->hide();
    if (m_connected && m_connected->isMicrophoneOpen())
        m_keepMicrophone.start();
}

bool ParentVoice::play(const QByteArray& entry)
{
    const QString file = platform::recordingFile(entry);
    if (entry.isEmpty() || !QFileInfo::exists(file))
        return false;
    recorder().play(file);
    return true;
}

void ParentVoice::entryShown(const QByteArray& entry)
{
    if (m_readAloud && !isRecording()) {
        play(entry);
        return;
    }
    // V then plays at once: the recording is decoded ahead.
    const QString file = platform::recordingFile(entry);
    if (!entry.isEmpty() && QFileInfo::exists(file))
        recorder().preload(file);
}

} // namespace stage
