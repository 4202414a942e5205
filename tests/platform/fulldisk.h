#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace testing_support {

// A small tmpfs mounted on a temporary folder for the lifetime of the object,
// to see what writes do when the disk is full. Mounting needs privileges that
// a machine may not give; skipReason() then says why there is none.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const char* options = "size=64k")
        : m_mountPoint(m_dir.path())
    {
        mount(options);
    }
    // Mounted over an existing folder (a program's database folder), which
    // then looks empty until the object goes.
    SmallFileSystem(const QString& mountPoint, const char* options)
        : m_mountPoint(mountPoint)
    {
        mount(options);
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_mountPoint).constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool isMounted() const { return m_mounted; }
    std::string skipReason() const { return m_skipReason.toStdString(); }
    QString path(const QString& relative) const { return QDir(m_mountPoint).filePath(relative); }

    // Takes every free block with a file of its own, so that the next
    // write of any size fails with "No space left on device".
    void fill() const
    {
        const int fd = ::open(QFile::encodeName(path(QStringLiteral(".filler"))).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const QByteArray block(4096, 'x');
        while (fd >= 0 && ::write(fd, block.constData(), block.size()) > 0) {}
        // A block's tail may still be free: take it byte by byte.
        while (fd >= 0 && ::write(fd, "x", 1) > 0) {}
        if (fd >= 0)
            ::close(fd);
    }

private:
    void mount(const char* options)
    {
        if (::mount("tmpfs", QFile::encodeName(m_mountPoint).constData(), "tmpfs", 0, options) == 0)
            m_mounted = true;
        else
            m_skipReason = QStringLiteral("cannot mount a tmpfs here (%1), so a full disk cannot be tried")
                               .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }

    QTemporaryDir m_dir;
    QString m_mountPoint;
    bool m_mounted = false;
    QString m_skipReason;
};

} // namespace testing_support
