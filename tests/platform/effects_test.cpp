// The desktop's own effects, where a test can watch them without blocking.
#include "platform/effects.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

namespace {

// The desktop's launcher, played by a script that notes the document it was
// given and its own process number, then ends as `ending` says.
class FakeLauncher {
public:
    explicit FakeLauncher(const char* ending)
    {
        const QByteArray script = QByteArray("#!/bin/sh\n"
                                             "echo \"$1\" > \"${0%/*}/document\"\n"
                                             "echo $$ > \"${0%/*}/process\"\n")
                                  + ending + '\n';
        QFile file(m_dir.filePath(QStringLiteral("xdg-open")));
        if (file.open(QIODevice::WriteOnly))
            file.write(script);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString folder() const { return m_dir.path(); }
    QString document() const { return QString::fromLocal8Bit(read("document")).trimmed(); }

    // Waits until the launcher has ended and the program has heard of it.
    void waitForItsEnd() const
    {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && !hasEnded())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::processEvents();
    }

private:
    // Its process is gone, reaped by the program (an unreaped one still
    // answers kill), which then tells its end.
    bool hasEnded() const
    {
        const pid_t process = read("process").trimmed().toInt();
        return process > 0 && ::kill(process, 0) != 0;
    }

    QByteArray read(const char* name) const
    {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

} // namespace

// Whether the page opened is known only from the launcher's exit status:
// xdg-open on a desktop without a web browser starts, finds no program and
// exits with an error. Every way of not opening it is reported, once.
TEST(DesktopEffectsTest, ADocumentThatNoProgramOpensIsReported)
{
    struct Case {
        const char* name;
        const char* ending; // nullptr: no launcher at all
        bool opened;
    };
    const Case cases[] = {
        {"the browser took it", "exit 0", true},
        {"no browser (xdg-open's exit status 3)", "exit 3", false},
        {"the launcher failed", "exit 4", false},
        {"the launcher crashed", "kill -SEGV $$", false},
        {"no launcher on the path", nullptr, false},
    };
    const QByteArray oldPath = qgetenv("PATH");
    auto previous = platform::setEffects(nullptr);
    const QString page = QStringLiteral("/usr/share/quenlo/database/help.htm");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLauncher launcher(c.ending ? c.ending : "exit 0");
        QTemporaryDir emptyFolder;
        qputenv("PATH", (c.ending ? launcher.folder() : emptyFolder.path()).toLocal8Bit());
        int reports = 0;
        platform::effects().openDocument(page, [&reports] { ++reports; });
        if (c.ending) {
            launcher.waitForItsEnd();
            EXPECT_EQ(launcher.document(), page);
        }
        EXPECT_EQ(reports, c.opened ? 0 : 1);
    }
    platform::setEffects(std::move(previous));
    qputenv("PATH", oldPath);
}
