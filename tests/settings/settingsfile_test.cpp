#include "settings/settingsfile.h"

#include "platform/error.h"
#include "tests/support/programfolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

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

TEST(SettingsFileTest, FailedWriteNamesTheFile)
{
    testing_support::ProgramFolder folder;
    QDir(folder.path()).rmdir(QStringLiteral("database"));
    SettingsFile file(folder.path(kIni));
    try {
        file.writeInteger("s", "n", 1);
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(file.path()));
    }
}

} // namespace
