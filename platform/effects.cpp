#include "platform/effects.h"

#include "platform/desktopvoicerecorder.h"
#include "platform/guard.h"
#include "platform/soundplayer.h"

#include <QApplication>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace platform {

namespace {

// Qt's own openUrl only says whether the desktop's launcher started. On a
// desktop without a web browser xdg-open starts, finds no program for the
// page and exits with an error that only the terminal hears of; so here the
// launcher is run and its exit status read.
void launchDocument(const QString& path, std::function<void()> notOpened)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher.isEmpty()) {
        notOpened();
        return;
    }
    // Owned by nothing and never killed: a launcher that waits for the
    // browser it started must not take the browser down when the program
    // ends first. It deletes itself once it has answered.
    auto* process = new QProcess;
    process->setProgram(launcher);
    process->setArguments({path});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, notOpened](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status != QProcess::NormalExit || exitCode != 0)
                             notOpened();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, notOpened](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         process->deleteLater();
                         notOpened();
                     });
    process->start();
#else
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        notOpened();
#endif
}

class DesktopEffects final : public Effects {
public:
    void showMessage(QWidget* parent, const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, parent);
        box.exec();
    }

    void showError(QWidget* parent, const QString& text) override
    {
        QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok, parent);
        box.exec();
    }

    void playSound(const QString& path) override { m_sounds.play(path); }

    void openDocument(const QString& path, std::function<void()> notOpened) override
    {
        launchDocument(path, std::move(notOpened));
    }

    std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial) override
    {
        const QColor chosen = QColorDialog::getColor(initial, parent);
        if (!chosen.isValid())
            return std::nullopt;
        return chosen;
    }

    std::optional<QString> chooseSaveFile(QWidget* parent, const QString& suggested,
                                          const QString& filter) override
    {
        const QString path = QFileDialog::getSaveFileName(parent, QString(), suggested, filter);
        if (path.isEmpty())
            return std::nullopt;
        return path;
    }

    bool confirm(QWidget* parent, const QString& text) override
    {
        return QMessageBox::question(parent, applicationTitle(), text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No)
               == QMessageBox::Yes;
    }

    std::optional<QString> askText(QWidget* parent, const QString& label, const QString& initial) override
    {
        bool accepted = false;
        const QString text = QInputDialog::getText(parent, applicationTitle(), label, QLineEdit::Normal,
                                                   initial, &accepted);
        if (!accepted)
            return std::nullopt;
        return text;
    }

    VoiceRecorder& voiceRecorder() override
    {
        // Made on first use: it needs the application object.
        if (!m_voice)
            m_voice = makeDesktopVoiceRecorder();
        return *m_voice;
    }

    SoundPlayer& sounds() { return m_sounds; }
    void releaseVoice() { m_voice.reset(); }

private:
    SoundPlayer m_sounds;
    std::unique_ptr<VoiceRecorder> m_voice;
};

DesktopEffects& desktopEffects()
{
    static DesktopEffects instance;
    static const bool releasedWithTheApplication = [] {
        // The sounds go while the application object is still there: freed
        // later, at the program's exit, they wait for it for ever.
        qAddPostRoutine([] {
            desktopEffects().releaseVoice();
            desktopEffects().sounds().releaseAtExit();
        });
        return true;
    }();
    Q_UNUSED(releasedWithTheApplication);
    return instance;
}

std::unique_ptr<Effects>& customEffects()
{
    static std::unique_ptr<Effects> instance;
    return instance;
}

} // namespace

Effects& effects()
{
    if (customEffects())
        return *customEffects();
    return desktopEffects();
}

std::unique_ptr<Effects> setEffects(std::unique_ptr<Effects> replacement)
{
    return std::exchange(customEffects(), std::move(replacement));
}

void preloadSounds(const QStringList& paths)
{
    if (!customEffects())
        desktopEffects().sounds().preload(paths);
}

SoundPlayer& desktopSoundPlayer()
{
    return desktopEffects().sounds();
}

} // namespace platform
