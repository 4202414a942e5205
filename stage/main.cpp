#include "platform/fonts.h"
#include "platform/guard.h"
#include "stage/commandline.h"
#include "stage/fontcheck.h"
#include "stage/stagewindow.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#ifndef QUENLO_VERSION
#define QUENLO_VERSION "unknown"
#endif

namespace {

// A windowed Windows program has no console of its own: the answers to
// --help and --version go to the console of the command prompt it was
// started from, unless its output is redirected.
void answerOnParentsConsole()
{
#ifdef Q_OS_WIN
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((output == nullptr || output == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
}

// Standard buttons and dialogs speak Chinese whatever the locale, like the
// program's own captions.
void loadQtChinese(QTranslator& translator)
{
    if (translator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/quenlo/icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

int main(int argc, char** argv)
{
    using stage::commandline::Request;
    const Request request = stage::commandline::requestOf(argc, argv);
    if (request != Request::Run) {
        // No display is needed to answer these.
        answerOnParentsConsole();
        QCoreApplication core(argc, argv);
        if (request == Request::Version) {
            std::printf("quenlo %s\n", QUENLO_VERSION);
            return 0;
        }
        if (request == Request::Unknown) {
            std::fprintf(stderr, "quenlo: unknown option %s\n", argv[1]);
            std::fputs("Try 'quenlo --help'.\n", stderr);
            return 2;
        }
        std::fputs(stage::commandline::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::applicationTitle());
    // No display name: Qt would append it to every window title, and the
    // dialogs' titles are theirs alone.
    QApplication::setWindowIcon(programIcon());
    QTranslator qtTranslator;
    loadQtChinese(qtTranslator);
    platform::installFontSubstitutions();

    stage::StageWindow stage(windows::stageDialogs());
    stage.show();
    // Over the stage once it is up, so that the box is not its first window
    // and the stage goes on as usual once the box is closed.
    QTimer::singleShot(0, &stage, [&stage] { stage::tellIfNoChineseFace(&stage); });
    return QApplication::exec();
}
