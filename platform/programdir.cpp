#include "platform/programdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

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

QString installedShippedDir(const QString& exeDir)
{
    const QString shared = QDir::cleanPath(exeDir + QStringLiteral(QUENLO_SHIPPED_DATA_RELATIVE));
    if (QFileInfo(shared + QStringLiteral("/database")).isDir())
        return withTrailingSlash(shared);
    // A read-only folder laid out like the build folder (/opt/quenlo).
    return exeDir;
}

QString usersOwnDataDir()
{
    // Named here rather than through the application name, which is the
    // program's title and may change with it.
    return withTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        + QStringLiteral("quenlo/");
}

Layout chooseLayout()
{
    const QString exeDir = programDir();
    const QFileInfo database(exeDir + QStringLiteral("database"));
    if (database.isDir() && database.isWritable())
        return {FileMode::Portable, exeDir, exeDir + QStringLiteral("database/")};
    return {FileMode::Installed, installedShippedDir(exeDir), usersOwnDataDir()};
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
    QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                   | QFile::ReadOther);
    return true;
}

QString usersOwnFilePath(const QString& relative)
{
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
    chosenLayout() = Layout{FileMode::Installed, withTrailingSlash(QDir::cleanPath(shippedDir)),
                            withTrailingSlash(QDir::cleanPath(userDir))};
}

} // namespace platform
