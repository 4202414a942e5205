#include "platform/programdir.h"

#include <QCoreApplication>
#include <QDir>

namespace platform {

namespace {
QString& overrideDir()
{
    static QString dir;
    return dir;
}

QString withTrailingSlash(QString dir)
{
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
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
}

QString dataPath(QStringView relative)
{
    QString path = relative.toString();
    path.replace(u'\\', u'/');
    return programDir() + path;
}

} // namespace platform
