#include "platform/files.h"

#include "platform/error.h"
#include "platform/filereplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <optional>

namespace platform {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

WriteResult failure(int error)
{
    return {systemReason(error)};
}

namespace {
QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

bool isMarkedReadOnly(const QFileInfo& info)
{
    return info.exists() && !(info.permissions() & QFileDevice::WriteOwner);
}

// A symbolic link is kept: the file it points to is the one replaced.
QString finalPath(const QFileInfo& info)
{
    return info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
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
        return failure(EACCES);
    if (info.isDir())
        return failure(EISDIR);
    if (!info.dir().exists())
        return failure(ENOENT);

    const QString target = finalPath(info);
    if (std::optional<WriteResult> result = filereplace::replaceThroughTemporary(target, bytes))
        return *result;
    return filereplace::writeInPlace(target, bytes);
}

void replaceFileOrThrow(const QString& path, const QByteArray& bytes)
{
    const WriteResult result = replaceFile(path, bytes);
    if (!result.ok())
        throw Error(
            QStringLiteral("Cannot create file \"%1\". %2").arg(nativePath(path), result.failureReason));
}

} // namespace platform
