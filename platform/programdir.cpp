#include "platform/programdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

#ifdef Q_OS_WIN
#include <shlobj.h>
#endif

#ifndef QUENLO_SHIPPED_DATA_RELATIVE
#define QUENLO_SHIPPED_DATA_RELATIVE "../share/quenlo"
#endif

namespace platform {

namespace {

struct Layout {
    FileMode mode = FileMode::Portable;
    QString shippedDir;
    QString userDir;
};

QString& overrideDir()
{
    static QString dir;
    return dir;
}

std::optional<Layout>& chosenLayout()
{
    static std::optional<Layout> layout;
    return layout;
}

QString withTrailingSlash(QString dir)
{
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

// <prefix>/share/quenlo beside <prefix>/bin, when the program is installed so.
std::optional<QString> sharedDataDir(const QString& exeDir)
{
    const QString shared = QDir::cleanPath(exeDir + QStringLiteral(QUENLO_SHIPPED_DATA_RELATIVE));
    if (QFileInfo(shared + QStringLiteral("/database")).isDir())
        return withTrailingSlash(shared);
    return std::nullopt;
}

#ifdef Q_OS_WIN
// %APPDATA%, the roaming application data folder, where Windows programs keep
// what belongs to the user and follows them from one computer to another.
// The variable first, as its name says (and as tests and administrators may
// point it elsewhere), then the known folder it normally names.
QString roamingAppDataDir()
{
    const QString variable = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
    if (!variable.isEmpty() && QDir::isAbsolutePath(variable))
        return variable;
    QString dir;
    PWSTR path = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &path)))
        dir = QDir::fromNativeSeparators(QString::fromWCharArray(path));
    CoTaskMemFree(path);
    return dir.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) : dir;
}
#endif

QString usersOwnDataDir()
{
    // Named here rather than through the application name, which is the
    // program's title and may change with it.
#ifdef Q_OS_WIN
    return withTrailingSlash(roamingAppDataDir()) + QStringLiteral("Quenlo/");
#else
    return withTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
           + QStringLiteral("quenlo/");
#endif
}

Layout chooseLayout()
{
    const QString exeDir = programDir();
    const QFileInfo database(exeDir + QStringLiteral("database"));
    const std::optional<QString> shared = sharedDataDir(exeDir);
    // Without a database folder beside it and without an installed share
    // folder the program is not installed: it stays portable, and the missing
    // folder is reported where the files were expected.
    const bool portable = database.isDir() ? database.isWritable() : !shared;
    if (portable)
        return {FileMode::Portable, exeDir, exeDir + QStringLiteral("database/")};
    // A read-only folder laid out like the build folder (/opt/quenlo) ships
    // its data beside the executable.
    return {FileMode::Installed, shared.value_or(exeDir), usersOwnDataDir()};
}

const Layout& layout()
{
    if (!chosenLayout())
        chosenLayout() = chooseLayout();
    return *chosenLayout();
}

bool isUsersOwnFile(const QString& relative)
{
    return relative == u"database/ziku.txt" || relative == u"database/qrnv.ini"
           || relative == u"database/record.sqlite";
}

// The shipped copy becomes the user's own, writable by the user whatever the
// permissions it was installed with. Returns false when it couldn't be made.
bool copyShippedFile(const QString& shipped, const QString& own)
{
    if (!QFileInfo::exists(shipped))
        return true;
    if (!QDir().mkpath(QFileInfo(own).path()) || !QFile::copy(shipped, own))
        return false;
    QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

QString usersOwnFilePath(const QString& relative)
{
    // The folder is made at first use, so that the first save of a user
    // who has no copy of a shipped file can still create it.
    QDir().mkpath(layout().userDir);
    const QString own = layout().userDir + QFileInfo(relative).fileName();
    if (QFileInfo::exists(own))
        return own;
    const QString shipped = layout().shippedDir + relative;
    // Without a copy of their own the user can at least read the shipped one.
    return copyShippedFile(shipped, own) ? own : shipped;
}

} // namespace

QString programDir()
{
    if (!overrideDir().isEmpty())
        return overrideDir();
    return withTrailingSlash(QCoreApplication::applicationDirPath());
}

void setProgramDir(const QString& dir)
{
    overrideDir() = dir.isEmpty() ? QString() : withTrailingSlash(QDir::cleanPath(dir));
    chosenLayout().reset();
}

FileMode fileMode()
{
    return layout().mode;
}

QString shippedDataDir()
{
    return layout().shippedDir;
}

QString userDataDir()
{
    return layout().userDir;
}

QString userFilePath(QStringView name)
{
    return layout().userDir + name.toString();
}

QString dataPath(QStringView relative)
{
    QString path = relative.toString();
    path.replace(u'\\', u'/');
    if (layout().mode == FileMode::Installed && isUsersOwnFile(path))
        return usersOwnFilePath(path);
    return layout().shippedDir + path;
}

void setInstalledLayout(const QString& shippedDir, const QString& userDir)
{
    if (shippedDir.isEmpty() && userDir.isEmpty()) {
        chosenLayout().reset();
        return;
    }
    chosenLayout() = Layout {FileMode::Installed, withTrailingSlash(QDir::cleanPath(shippedDir)),
                             withTrailingSlash(QDir::cleanPath(userDir))};
}

} // namespace platform
