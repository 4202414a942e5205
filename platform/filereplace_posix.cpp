// Replacing a file on Linux (POSIX): descriptors, fsync and rename.

#include "platform/filereplace.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::filereplace {

namespace {

// Closes a descriptor once, on every path out of a write.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    // Closes now; a failed close may mean that buffered data never reached
    // the disk (NFS, quotas), so it counts as a failed write.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Writes every byte at `offset` on, or returns the reason it could not.
std::optional<int> writeAll(int fd, const QByteArray& bytes, off_t offset)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done),
                                         offset + off_t(done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return ENOSPC;
        done += written;
    }
    return std::nullopt;
}

// The metadata of the file about to be replaced, if there is one.
std::optional<struct stat> existingFile(const QByteArray& path)
{
    struct stat status;
    if (::stat(path.constData(), &status) != 0)
        return std::nullopt;
    return status;
}

// Opens a new file beside `path`, named after it, that no one else has.
// Sets errno and returns -1 when the folder takes no new file.
int createTemporaryBeside(const QByteArray& path, QByteArray& temporaryPath)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = path + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = ::open(temporaryPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Makes the rename itself survive a crash.
void syncFolderOf(const QByteArray& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // The new contents are in place whatever this says; some file systems
    // cannot sync a folder at all.
    (void)::fsync(fd);
    ::close(fd);
}

// The usual way: the bytes go to a temporary file that is synced and then
// renamed over the old file, which stays whole until that rename. Gives
// nothing when the folder refuses the temporary file (EACCES, EPERM), so that
// the caller may write in place instead.
std::optional<WriteResult> replaceThroughTemporaryFile(const QByteArray& path, const QByteArray& bytes)
{
    const std::optional<struct stat> old = existingFile(path);
    QByteArray temporaryPath;
    Descriptor file(createTemporaryBeside(path, temporaryPath));
    if (file.get() < 0) {
        if (errno == EACCES || errno == EPERM)
            return std::nullopt;
        return failure(errno);
    }
    const auto discard = [&](int error) {
        ::unlink(temporaryPath.constData());
        return failure(error);
    };
    if (old) {
        // The new file keeps the old one's permissions and, where allowed,
        // its owner (root saving a user's file). For anyone else the call
        // fails and leaves the file theirs. (A cast to void does not quiet a
        // fortified build's warning about the result.)
        [[maybe_unused]] const int ownerKept = ::fchown(file.get(), old->st_uid, old->st_gid);
        if (::fchmod(file.get(), old->st_mode & 07777) != 0)
            return discard(errno);
    }
    if (const std::optional<int> error = writeAll(file.get(), bytes, 0))
        return discard(*error);
    if (::fsync(file.get()) != 0)
        return discard(errno);
    if (!file.close())
        return discard(errno);
    if (::rename(temporaryPath.constData(), path.constData()) != 0)
        return discard(errno);
    syncFolderOf(path);
    return WriteResult {};
}

// For a folder that takes no new file: the file is written where it is. The
// room for the new contents is claimed before any byte changes, so a full
// disk leaves the old file as it was.
WriteResult writeInPlaceOf(const QByteArray& path, const QByteArray& bytes)
{
    Descriptor file(::open(path.constData(), O_WRONLY | O_CLOEXEC));
    if (file.get() < 0)
        return failure(errno);
    struct stat old;
    if (::fstat(file.get(), &old) != 0)
        return failure(errno);
    if (bytes.size() > old.st_size) {
        const int error = ::posix_fallocate(file.get(), 0, off_t(bytes.size()));
        if (error != 0) {
            // Whatever was claimed beyond the old end goes again.
            [[maybe_unused]] const int truncated = ::ftruncate(file.get(), old.st_size);
            return failure(error);
        }
    }
    if (const std::optional<int> error = writeAll(file.get(), bytes, 0))
        return failure(*error);
    if (::ftruncate(file.get(), off_t(bytes.size())) != 0 || ::fsync(file.get()) != 0)
        return failure(errno);
    if (!file.close())
        return failure(errno);
    return {};
}

} // namespace

std::optional<WriteResult> replaceThroughTemporary(const QString& path, const QByteArray& bytes)
{
    return replaceThroughTemporaryFile(QFile::encodeName(path), bytes);
}

WriteResult writeInPlace(const QString& path, const QByteArray& bytes)
{
    return writeInPlaceOf(QFile::encodeName(path), bytes);
}

} // namespace platform::filereplace
