#include "tests/support/recordingeffects.h"

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
