#include "platform/effects.h"

#include "platform/guard.h"
#include "platform/soundplayer.h"

#include <QApplication>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace platform {

QString noLauncherMessage(const QString& path)
{
    return QStringLiteral("没有可以打开帮助页的程序。\n帮助页在：%1").arg(QDir::toNativeSeparators(path));
}

namespace {

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

    void openDocument(const QString& path) override
    {
        // Without a launcher (no xdg-open) nothing would happen at all: the
        // user at least learns where the page is.
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            showMessage(QApplication::activeWindow(), noLauncherMessage(path));
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

    SoundPlayer& sounds() { return m_sounds; }

private:
    SoundPlayer m_sounds;
};

DesktopEffects& desktopEffects()
{
    static DesktopEffects instance;
    static const bool releasedWithTheApplication = [] {
        // The sounds go while the application object is still there: freed
        // later, at the program's exit, they wait for it for ever.
        qAddPostRoutine([] { desktopEffects().sounds().releaseAtExit(); });
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
