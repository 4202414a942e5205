#include "tests/support/recordingeffects.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace testing_support {

namespace {

// The next answer given to a chooser; nothing left means cancel.
template <typename Answer> std::optional<Answer> nextAnswer(std::deque<std::optional<Answer>>& answers)
{
    if (answers.empty())
        return std::nullopt;
    std::optional<Answer> answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

void FakeVoiceRecorder::start(const QString& path)
{
    if (isRecording())
        return;
    started.append(path);
    if (!failAtStart.isEmpty()) {
        Q_EMIT failed(failAtStart);
        return;
    }
    recordingPath = path;
    microphoneOpen = true;
    Q_EMIT levelChanged(0.5); // no sound yet: the meter must not show it
}

void FakeVoiceRecorder::closeMicrophone()
{
    if (isRecording())
        closeAfterRecording = true;
    else
        microphoneOpen = false;
}

void FakeVoiceRecorder::capture(qreal level)
{
    Q_EMIT capturing();
    Q_EMIT levelChanged(level);
}

void FakeVoiceRecorder::stop()
{
    if (isRecording())
        ++stops;
}

void FakeVoiceRecorder::succeed(const QByteArray& bytes)
{
    const QString path = std::exchange(recordingPath, QString());
    microphoneOpen = microphoneOpen && !std::exchange(closeAfterRecording, false);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    file.close();
    Q_EMIT finished(path);
}

void FakeVoiceRecorder::fail(const QString& message)
{
    recordingPath.clear();
    microphoneOpen = microphoneOpen && !std::exchange(closeAfterRecording, false);
    Q_EMIT failed(message);
}

void RecordingEffects::showMessage(QWidget*, const QString& text)
{
    events.push_back({Kind::Message, text});
    if (onBox)
        onBox(text);
}

void RecordingEffects::showError(QWidget*, const QString& text)
{
    events.push_back({Kind::Error, text});
    if (onBox)
        onBox(text);
}

void RecordingEffects::playSound(const QString& path)
{
    events.push_back({Kind::Sound, path});
}

void RecordingEffects::openDocument(const QString& path, std::function<void()> notOpened)
{
    events.push_back({Kind::Document, path});
    if (!documentsOpen)
        notOpened();
}

std::optional<QString> RecordingEffects::chooseSaveFile(QWidget*, const QString& suggested, const QString&)
{
    events.push_back({Kind::SaveFileChooser, suggested});
    return nextAnswer(saveFileAnswers);
}

bool RecordingEffects::confirm(QWidget*, const QString& text)
{
    events.push_back({Kind::Confirmation, text});
    if (confirmAnswers.empty())
        return false;
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
}

std::optional<QString> RecordingEffects::askText(QWidget*, const QString& label, const QString&)
{
    events.push_back({Kind::TextQuestion, label});
    return nextAnswer(textAnswers);
}

std::optional<QColor> RecordingEffects::chooseColour(QWidget*, const QColor& initial)
{
    events.push_back({Kind::ColourChooser, initial.name()});
    return nextAnswer(colourAnswers);
}

QStringList RecordingEffects::texts(Kind kind) const
{
    QStringList result;
    for (const Event& event : events) {
        if (event.kind == kind)
            result.append(event.text);
    }
    return result;
}

QStringList RecordingEffects::sounds() const
{
    QStringList names;
    for (const QString& path : texts(Kind::Sound))
        names.append(QFileInfo(path).fileName());
    return names;
}

ScopedRecorder::ScopedRecorder()
{
    auto recorder = std::make_unique<RecordingEffects>();
    m_recorder = recorder.get();
    platform::setEffects(std::move(recorder));
}

ScopedRecorder::~ScopedRecorder()
{
    platform::setEffects(nullptr);
}

} // namespace testing_support
