#include "platform/files.h"

#include "platform/error.h"
#include "tests/platform/fulldisk.h"
#include "tests/support/programfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testing_support::ProgramFolder;

QString errorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const platform::Error& error) {
        return error.message();
    }
    return {};
}

TEST(FilesTest, ReplaceLeavesOnlyTheNewContents)
{
    ProgramFolder folder;
    const QString path = folder.path(QStringLiteral("database/ziku.txt"));
    folder.writeFile(QStringLiteral("database/ziku.txt"), "old and longer");
    ASSERT_TRUE(platform::replaceFile(path, "new").ok());
    EXPECT_EQ(platform::readWholeFile(path), "new");
    // No temporary file is left beside it (the shipped data are links).
    EXPECT_EQ(QDir(folder.path(QStringLiteral("database")))
                  .entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks),
              QStringList {QStringLiteral("ziku.txt")});
}

TEST(FilesTest, ReplaceKeepsPermissionsAndSymbolicLinks)
{
    ProgramFolder folder;
    const QString target = folder.path(QStringLiteral("ziku.txt"));
    const QString link = folder.path(QStringLiteral("database/ziku.txt"));
    folder.writeFile(QStringLiteral("ziku.txt"), "old");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(target, link));

    ASSERT_TRUE(platform::replaceFile(link, "new").ok());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(folder.readFile(QStringLiteral("ziku.txt")), "new");
    struct stat status;
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST(FilesTest, ReadOnlyFileIsRefusedAndKept)
{
    ProgramFolder folder;
    const QString path = folder.path(QStringLiteral("database/ziku.txt"));
    folder.writeFile(QStringLiteral("database/ziku.txt"), "old");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);

    const platform::WriteResult result = platform::replaceFile(path, "new");
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.failureReason.isEmpty());
    EXPECT_EQ(folder.readFile(QStringLiteral("database/ziku.txt")), "old");
}

TEST(FilesTest, FailuresNameTheFileAndTheReason)
{
    ProgramFolder folder;
    const QString path = folder.path(QStringLiteral("missing/ziku.txt"));
    const QString native = QDir::toNativeSeparators(path);

    const QString openError = errorText([&] { platform::readWholeFile(path); });
    EXPECT_TRUE(openError.startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(native)))
        << openError.toStdString();
    EXPECT_GT(openError.size(), QStringLiteral("Cannot open file \"%1\". ").arg(native).size());

    const QString createError = errorText([&] { platform::replaceFileOrThrow(path, "x"); });
    EXPECT_TRUE(createError.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(native)))
        << createError.toStdString();
    EXPECT_FALSE(QFile::exists(path));

    const QString folderError = errorText(
        [&] { platform::readWholeFile(folder.path(QStringLiteral("database"))); });
    EXPECT_TRUE(folderError.startsWith(QStringLiteral("Cannot open file"))) << folderError.toStdString();
}

} // namespace

namespace {

QByteArray library(int lines)
{
    QByteArray bytes;
    for (int i = 0; i < lines; ++i)
        bytes += "\xD7\xD6" + QByteArray::number(i) + "\r\n";
    return bytes;
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Runs `write` in a child process as the user nobody, for whom the folder may
// refuse new files while the file itself may be written. Returns the child's
// exit status: 0 when the write succeeded, 1 when it failed, or -1 when the
// child could not become nobody (the test is then not run as root).
int asNobody(const std::function<bool()>& write)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(write() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) < 2 ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(FilesTest, FullDiskLeavesTheOldFileWhole)
{
    testing_support::SmallFileSystem disk;
    if (!disk.isMounted())
        GTEST_SKIP() << disk.skipReason();
    const QString path = disk.path(QStringLiteral("ziku.txt"));
    const QByteArray old = library(500);
    ASSERT_TRUE(platform::replaceFile(path, old).ok());
    disk.fill();

    for (const QByteArray& replacement : {library(1000), QByteArray("\xD7\xD6\r\n")}) {
        SCOPED_TRACE(replacement.size());
        const QString error = errorText([&] { platform::replaceFileOrThrow(path, replacement); });
        EXPECT_EQ(error, QStringLiteral("Cannot create file \"%1\". No space left on device").arg(path));
        EXPECT_EQ(contentsOf(path), old);
        EXPECT_EQ(QDir(disk.path(QStringLiteral("."))).entryList(QDir::Files | QDir::Hidden),
                  (QStringList {QStringLiteral(".filler"), QStringLiteral("ziku.txt")}));
    }
}

TEST(FilesTest, FolderThatRefusesNewFilesIsWrittenInPlaceAndSafely)
{
    // Owned by root and closed to others: nobody may write the file but not
    // add one beside it.
    testing_support::SmallFileSystem disk("size=64k,mode=0755");
    if (!disk.isMounted())
        GTEST_SKIP() << disk.skipReason();
    const QString path = disk.path(QStringLiteral("ziku.txt"));
    const QByteArray old = library(500);
    ASSERT_TRUE(platform::replaceFile(path, old).ok());
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);

    const QByteArray shorter = library(3);
    const int written = asNobody([&] { return platform::replaceFile(path, shorter).ok(); });
    if (written < 0)
        GTEST_SKIP() << "cannot become the user nobody, so a folder closed to the writer cannot be tried";
    EXPECT_EQ(written, 0);
    EXPECT_EQ(contentsOf(path), shorter);

    disk.fill();
    const QByteArray longer = library(2000);
    EXPECT_EQ(asNobody([&] { return platform::replaceFile(path, longer).ok(); }), 1);
    EXPECT_EQ(contentsOf(path), shorter);
    struct stat status;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0666u);
}
