#include "platform/files.h"

#include "platform/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {
QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

bool isMarkedReadOnly(const QFileInfo& info)
{
    return info.exists() && !(info.permissions() & QFileDevice::WriteOwner);
}
} // namespace

QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        const QString reason = QFileInfo(path).isDir() ? systemReason(EISDIR) : file.errorString();
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(nativePath(path), reason));
    }
    return file.readAll();
}

WriteResult replaceFile(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (isMarkedReadOnly(info))
        return {systemReason(EACCES)};
    if (info.isDir())
        return {systemReason(EISDIR)};
    if (!info.dir().exists())
        return {systemReason(ENOENT)};

    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return {file.errorString()};
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {reason};
    }
    if (!file.commit())
        return {file.errorString()};
    return {};
}

void replaceFileOrThrow(const QString& path, const QByteArray& bytes)
{
    const WriteResult result = replaceFile(path, bytes);
    if (!result.ok())
        throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(nativePath(path), result.failureReason));
}

} // namespace platform


