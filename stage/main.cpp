#include "platform/fonts.h"
#include "platform/guard.h"
#include "platform/programdir.h"
#include "stage/stagewindow.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <cstring>

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

enum class Request { Run, Help, Version, Unknown };

Request requestOf(int argc, char** argv)
{
    if (argc < 2)
        return Request::Run;
    const char* option = argv[1];
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0)
        return Request::Help;
    if (std::strcmp(option, "--version") == 0 || std::strcmp(option, "-v") == 0)
        return Request::Version;
    if (option[0] == '-' && option[1] == '-' && option[2] != '\0')
        return Request::Unknown;
    // Anything else (the X11 toolkit's own options such as -display) is
    // left to the application object.
    return Request::Run;
}

void printHelp()
{
    const bool portable = platform::fileMode() == platform::FileMode::Portable;
    const QString text =
        QStringLiteral("用法: quenlo [--help | --version]\n"
                       "Usage: quenlo [--help | --version]\n"
                       "\n"
                       "Quenlo 帮助学龄前儿童认识汉字: 每次用大字显示一个条目.\n"
                       "Shows one entry at a time in huge type for preschool children.\n"
                       "\n"
                       "  -h, --help     show this help and exit\n"
                       "  -v, --version  show the version and exit\n"
                       "\n"
                       "Files, %1:\n"
                       "  shipped data        %2\n"
                       "  library, settings   %3\n")
            .arg(portable ? QStringLiteral("portable (the database folder beside the program is writable)")
                          : QStringLiteral("installed (the user's own files are kept in their data folder)"),
                 platform::shippedDataDir(), platform::userDataDir());
    std::fputs(text.toLocal8Bit().constData(), stdout);
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
    const Request request = requestOf(argc, argv);
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
        printHelp();
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
    return QApplication::exec();
}
