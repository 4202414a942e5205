#include "platform/files.h"

#include "platform/error.h"
#include "tests/support/programfolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

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
    EXPECT_EQ(QDir(folder.path(QStringLiteral("database"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("ziku.txt")});
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
    EXPECT_TRUE(openError.startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(native))) << openError.toStdString();
    EXPECT_GT(openError.size(), QStringLiteral("Cannot open file \"%1\". ").arg(native).size());

    const QString createError = errorText([&] { platform::replaceFileOrThrow(path, "x"); });
    EXPECT_TRUE(createError.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(native))) << createError.toStdString();
    EXPECT_FALSE(QFile::exists(path));

    const QString folderError = errorText([&] { platform::readWholeFile(folder.path(QStringLiteral("database"))); });
    EXPECT_TRUE(folderError.startsWith(QStringLiteral("Cannot open file"))) << folderError.toStdString();
}

} // namespace
