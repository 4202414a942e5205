#pragma once

#include "platform/effects.h"
#include "platform/voicerecorder.h"
#include "tests/support/guiprinters.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace testing_support {

// A microphone that records nothing: a test says how each recording ends.
class FakeVoiceRecorder final : public platform::VoiceRecorder {
public:
    void start(const QString& path) override;
    void stop() override;
    bool isRecording() const override { return !recordingPath.isEmpty(); }
    void play(const QString& path) override { played.append(path); }
    void openMicrophone() override { microphoneOpen = true; }
    void closeMicrophone() override;
    bool isMicrophoneOpen() const override { return microphoneOpen; }
    void preload(const QString& path) override { preloaded.append(path); }

    // The microphone's sound arrives in the recording running, `level` loud.
    void capture(qreal level = 0.5);

    // Ends the recording running as the real recorder would: writes
    // `bytes` to its file and reports it, or reports `message`.
    void succeed(const QByteArray& bytes = "OggS");
    void fail(const QString& message);

    QString recordingPath; // while recording
    QStringList started;   // every start, by path
    int stops = 0;
    QStringList played;
    // Set: start() fails at once with this message (no microphone).
    QString failAtStart;
    bool microphoneOpen = false;
    // Asked to close while recording: closes when the recording ends.
    bool closeAfterRecording = false;
    QStringList preloaded;
};

// Effects that record what the program asked for and answer at once.
class RecordingEffects final : public platform::Effects {
public:
    enum class Kind {
        Message,
        Error,
        Sound,
        Document,
        ColourChooser,
        SaveFileChooser,
        Confirmation,
        TextQuestion
    };
    struct Event {
        Kind kind;
        QString text; // message text, sound or document path, chooser's initial colour name
    };

    void showMessage(QWidget*, const QString& text) override;
    void showError(QWidget*, const QString& text) override;
    void playSound(const QString& path) override;
    void openDocument(const QString& path, std::function<void()> notOpened) override;
    std::optional<QColor> chooseColour(QWidget*, const QColor& initial) override;
    std::optional<QString> chooseSaveFile(QWidget*, const QString& suggested, const QString& filter) override;
    bool confirm(QWidget*, const QString& text) override;
    std::optional<QString> askText(QWidget*, const QString& label, const QString& initial) override;
    FakeVoiceRecorder& voiceRecorder() override { return voice; }

    // Texts of the events of one kind, in order.
    QStringList texts(Kind kind) const;
    QStringList messages() const { return texts(Kind::Message); }
    QStringList errors() const { return texts(Kind::Error); }
    // Sound files played, by file name only ("xiayige.wav").
    QStringList sounds() const;
    void clear() { events.clear(); }

    std::vector<Event> events;
    // Answers of the colour chooser, first to last; nothing left means cancel.
    std::deque<std::optional<QColor>> colourAnswers;
    // Answers of the save-file chooser (nothing left means cancel) and of
    // the confirmations (nothing left means No).
    std::deque<std::optional<QString>> saveFileAnswers;
    std::deque<bool> confirmAnswers;
    // Whether documents open; when not, openDocument reports it at once, as
    // a desktop without a web browser does.
    bool documentsOpen = true;
    // Answers of the text questions; nothing left means cancel.
    std::deque<std::optional<QString>> textAnswers;
    // Called while a message or error box would be open, e.g. to check state.
    std::function<void(const QString&)> onBox;
    FakeVoiceRecorder voice;
};

// Installs a RecordingEffects for the lifetime of the object.
class ScopedRecorder {
public:
    ScopedRecorder();
    ~ScopedRecorder();
    ScopedRecorder(const ScopedRecorder&) = delete;
    ScopedRecorder& operator=(const ScopedRecorder&) = delete;

    RecordingEffects& operator*() { return *m_recorder; }
    RecordingEffects* operator->() { return m_recorder; }

private:
    RecordingEffects* m_recorder;
};

} // namespace testing_support
