#pragma once

#include <QColor>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace platform {

class VoiceRecorder;

// Everything the program does that a test cannot watch on screen goes through
// this seam: message boxes, sounds, opening a document, the colour chooser.
// The program uses the desktop implementation; tests install a recorder that
// answers at once, so no test blocks on a modal box or needs a sound card.
class Effects {
public:
    virtual ~Effects() = default;

    // A plain message box with an OK button under the application title.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // The standard error box: error icon, OK, application title. `text` is
    // shown as given (the caller has applied the full-stop rule).
    virtual void showError(QWidget* parent, const QString& text) = 0;
    // Plays a WAV file asynchronously; a new sound stops the one playing.
    // A missing file plays the platform's default sound and reports nothing.
    virtual void playSound(const QString& path) = 0;
    // Opens a document with the desktop's default handler. `notOpened` runs
    // on this thread, now or once the handler has answered, when nothing
    // opened it: no launcher, or a launcher that found no program for the
    // document (xdg-open on a desktop without a web browser).
    virtual void openDocument(const QString& path, std::function<void()> notOpened) = 0;
    // The standard colour chooser, starting on `initial`. Nothing on cancel.
    virtual std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial) = 0;
    // The standard save-file chooser, starting on `suggested`, offering
    // `filter` ("CSV 文件 (*.csv)"). Nothing on cancel.
    virtual std::optional<QString> chooseSaveFile(QWidget* parent, const QString& suggested,
                                                  const QString& filter) = 0;
    // A question with Yes and No under the application title; true for Yes.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
    // A line of text to type under the application title, starting on
    // `initial`. Nothing on cancel.
    virtual std::optional<QString> askText(QWidget* parent, const QString& label, const QString& initial) = 0;
    // The microphone and the parent's recordings.
    virtual VoiceRecorder& voiceRecorder() = 0;
};

// The effects in use. Until a test installs its own, the desktop's.
Effects& effects();

// Installs `replacement` (nullptr restores the desktop's) and returns the
// previous custom one, if any.
std::unique_ptr<Effects> setEffects(std::unique_ptr<Effects> replacement);

// Preloads sounds so that the first play of each starts without delay.
void preloadSounds(const QStringList& paths);

} // namespace platform
