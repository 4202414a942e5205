#include "settings/settingsfile.h"

#include "platform/error.h"
#include "tests/platform/fulldisk.h"
#include "tests/support/programfolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using settings::SettingsFile;

const QString kIni = QStringLiteral("database/qrnv.ini");

TEST(SettingsFileTest, IntegersFallBackToTheDefaultUnlessWellFormed)
{
    testing_support::ProgramFolder folder;
    folder.writeFile(kIni, "[s]\r\nempty=\r\nunit=600pt\r\nhex= 0x258\r\n");
    const SettingsFile file(folder.path(kIni));
    EXPECT_EQ(file.readInteger("s", "absent", 7), 7);
    EXPECT_EQ(file.readInteger("s", "empty", 7), 7);
    EXPECT_EQ(file.readInteger("s", "unit", 7), 7);
    EXPECT_EQ(file.readInteger("s", "hex", 7), 600); // the file's blanks are trimmed first
}

TEST(SettingsFileTest, WritesReachTheFileAtOnce)
{
    testing_support::ProgramFolder folder;
    SettingsFile file(folder.path(kIni));
    EXPECT_FALSE(QFile::exists(file.path())); // opening touches nothing
    file.writeInteger("s", "n", -2147483647 - 1);
    file.writeString("s", "t", " as given ");
    EXPECT_EQ(folder.readFile(kIni), "[s]\r\nn=-2147483648\r\nt= as given \r\n");
    EXPECT_EQ(file.readInteger("s", "n", 0), -2147483647 - 1);
}

// The message of a failed write, with what went to standard error meanwhile.
struct WriteFailure {
    QString message;
    std::string log;
};

WriteFailure failedWrite(SettingsFile& file)
{
    WriteFailure failure;
    testing::internal::CaptureStderr();
    try {
        file.writeInteger("s", "n", 1);
    } catch (const platform::Error& error) {
        failure.message = error.message();
    }
    failure.log = testing::internal::GetCapturedStderr();
    return failure;
}

TEST(SettingsFileTest, FailedWriteNamesTheFileAndLogsTheReason)
{
    testing_support::ProgramFolder folder;
    QDir(folder.path(QStringLiteral("database"))).removeRecursively();
    SettingsFile file(folder.path(kIni));
    const WriteFailure failure = failedWrite(file);
    EXPECT_EQ(failure.message, QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(file.path()));
    EXPECT_NE(failure.log.find(file.path().toStdString()), std::string::npos) << failure.log;
    EXPECT_NE(failure.log.find("No such file or directory"), std::string::npos) << failure.log;
    EXPECT_EQ(std::count(failure.log.begin(), failure.log.end(), '\n'), 1) << failure.log;
}

TEST(SettingsFileTest, FullDiskKeepsTheOldFileWhole)
{
    testing_support::SmallFileSystem disk;
    if (!disk.isMounted())
        GTEST_SKIP() << disk.skipReason();
    const QString path = disk.path(QStringLiteral("qrnv.ini"));
    QByteArray old = "[s]\r\nn=0\r\n";
    for (int i = 0; i < 200; ++i)
        old += "key" + QByteArray::number(i) + "=a value long enough to fill a few blocks\r\n";
    {
        QFile writer(path);
        ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
        ASSERT_EQ(writer.write(old), old.size());
    }
    disk.fill();

    SettingsFile file(path);
    const WriteFailure failure = failedWrite(file);
    EXPECT_EQ(failure.message, QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(path));
    EXPECT_NE(failure.log.find("No space left on device"), std::string::npos) << failure.log;
    QFile reader(path);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(reader.readAll(), old);
    EXPECT_EQ(QDir(disk.path(QStringLiteral("."))).entryList(QDir::Files | QDir::Hidden),
              (QStringList {QStringLiteral(".filler"), QStringLiteral("qrnv.ini")}));
}

} // namespace
