// The real program where the system fails it: a full disk under the
// database folder, and leaving while the sound output is running.
#include "programrun.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

using e2e::ProgramRun;
using e2e::runTool;

namespace {

constexpr QRgb kGlyph = qRgb(255, 0, 0);
const QString kSettings = QStringLiteral("[颜色]\nxuanze=2\ndanyi=clRed\n"); // glyphs in red

void press(const QString& windowId, const QString& key)
{
    runTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), windowId});
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), key});
}

int visibleWindowsOf(const QProcess& process)
{
    const QString ids = runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                                                           QStringLiteral("--pid"), QString::number(process.processId()),
                                                           QStringLiteral("--name"), QStringLiteral(".")});
    return ids.isEmpty() ? 0 : int(ids.split(u'\n').size());
}

// Takes every free block of the file system that holds `folder`.
void fillUp(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(QDir(folder).filePath(QStringLiteral("filler"))).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC, 0600);
    while (fd >= 0 && ::write(fd, "x", 1) > 0) {
    }
    if (fd >= 0)
        ::close(fd);
}

TEST(FaultsOnScreen, CloseOnAFullDiskSaysSoKeepsRunningAndKeepsTheSettings)
{
    ProgramRun run;
    const QString database = run.folder().path(QStringLiteral("database"));
    if (::mount("tmpfs", QFile::encodeName(database).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << "), so a full disk cannot be tried";
    struct Unmount {
        QString path;
        ~Unmount() { ::umount2(QFile::encodeName(path).constData(), MNT_DETACH); }
    } unmount{database};
    run.folder().writeDeck(QStringLiteral("database/ziku.txt"), {QStringLiteral("口"), QStringLiteral("一")});
    run.folder().writeSettings(kSettings);
    const QByteArray settings = run.folder().readFile(QStringLiteral("database/qrnv.ini"));
    const QByteArray library = run.folder().readFile(QStringLiteral("database/ziku.txt"));
    fillUp(database);

    run.start();
    ASSERT_TRUE(run.waitForColour(kGlyph)) << "the stage did not appear";
    const QString stage = run.windowId();
    ASSERT_EQ(visibleWindowsOf(run.process()), 1);
    press(stage, QStringLiteral("Menu"));
    QTest::qWait(500);
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Return")}); // 关闭, the last command
    QTest::qWait(1000);

    EXPECT_EQ(run.process().state(), QProcess::Running) << "a failed write must not end the program";
    EXPECT_EQ(visibleWindowsOf(run.process()), 2) << "no error box beside the stage";
    EXPECT_EQ(run.folder().readFile(QStringLiteral("database/qrnv.ini")), settings);
    EXPECT_EQ(run.folder().readFile(QStringLiteral("database/ziku.txt")), library);
}

TEST(FaultsOnScreen, LeavingRightAfterACueEndsTheProgram)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        ProgramRun run;
        run.folder().writeDeck(QStringLiteral("database/ziku.txt"), {QStringLiteral("口"), QStringLiteral("一")});
        run.folder().writeSettings(kSettings);
        run.start();
        ASSERT_TRUE(run.waitForColour(kGlyph)) << "the stage did not appear";
        const QString stage = run.windowId();
        press(stage, QStringLiteral("Return")); // a step, with its cue
        press(stage, QStringLiteral("Escape"));
        ASSERT_TRUE(run.waitForExit(10000)) << "the program did not end";
        EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit) << "the program crashed on its way out";
    }
}

} // namespace
