#include "platform/programdir.h"
#include "tests/support/programfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::FileMode;
using testing_support::ProgramFolder;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(ProgramDirTest, WritableDatabaseFolderKeepsEverythingBesideTheProgram)
{
    ProgramFolder folder;
    const QString root = folder.path() + u'/';
    EXPECT_EQ(platform::fileMode(), FileMode::Portable);
    EXPECT_EQ(platform::dataPath(u"database\\ziku.txt"), root + QStringLiteral("database/ziku.txt"));
    EXPECT_EQ(platform::dataPath(u"database\\qrnv.ini"), root + QStringLiteral("database/qrnv.ini"));
    EXPECT_EQ(platform::dataPath(u"Sound\\xiayige.wav"), root + QStringLiteral("Sound/xiayige.wav"));
    EXPECT_EQ(platform::userFilePath(u"record.sqlite"), root + QStringLiteral("database/record.sqlite"));
    // Nothing is copied or made in portable mode.
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("database/ziku.txt")));
}

TEST(ProgramDirTest, MissingDatabaseFolderWithoutAnInstallStaysPortable)
{
    // A build or unpacked folder whose data went missing is not an install:
    // the missing files are reported where the program looks for them.
    ProgramFolder folder;
    QDir(folder.path(QStringLiteral("database"))).removeRecursively();
    platform::setProgramDir(folder.path());
    EXPECT_EQ(platform::fileMode(), FileMode::Portable);
    EXPECT_EQ(platform::dataPath(u"database\\qrnv.ini"),
              folder.path() + QStringLiteral("/database/qrnv.ini"));
}

// The variable that names the user's data folder, and the program's folder in it.
#ifdef Q_OS_WIN
constexpr char kDataHomeVariable[] = "APPDATA";
constexpr char16_t kOwnFolder[] = u"home/data/Quenlo/";
#else
constexpr char kDataHomeVariable[] = "XDG_DATA_HOME";
constexpr char16_t kOwnFolder[] = u"home/data/quenlo/";
#endif

// An installed prefix: bin/ without a database folder, share/quenlo beside it.
class InstalledLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        writeFile(shipped(u"database/ziku.txt"), "shipped\r\n");
        writeFile(shipped(u"database/bjx.qrnv"), "deck\r\n");
        QFile::setPermissions(shipped(u"database/ziku.txt"), QFile::ReadOwner | QFile::ReadOther);
        QDir().mkpath(m_dir.filePath(QStringLiteral("usr/bin")));
        m_oldDataHome = qgetenv(kDataHomeVariable);
        qputenv(kDataHomeVariable, m_dir.filePath(QStringLiteral("home/data")).toLocal8Bit());
        platform::setProgramDir(m_dir.filePath(QStringLiteral("usr/bin")));
    }
    void TearDown() override
    {
        platform::setProgramDir({});
        qputenv(kDataHomeVariable, m_oldDataHome);
    }

    QString shipped(QStringView relative) const
    {
        return m_dir.filePath(QStringLiteral("usr/share/quenlo/") + relative.toString());
    }
    QString own(QStringView name) const
    {
        return m_dir.filePath(QString::fromUtf16(kOwnFolder) + name.toString());
    }

    QTemporaryDir m_dir;
    QByteArray m_oldDataHome;
};

TEST_F(InstalledLayoutTest, ShippedDataIsReadFromTheShareFolderAndUsersFilesFromTheirOwn)
{
    EXPECT_EQ(platform::fileMode(), FileMode::Installed);
    EXPECT_EQ(platform::shippedDataDir(), shipped(u""));
    EXPECT_EQ(platform::userDataDir(), own(u""));
    EXPECT_EQ(platform::dataPath(u"database\\bjx.qrnv"), shipped(u"database/bjx.qrnv"));
    EXPECT_EQ(platform::dataPath(u"database\\help.htm"), shipped(u"database/help.htm"));
    EXPECT_EQ(platform::dataPath(u"Sound\\cuo.wav"), shipped(u"Sound/cuo.wav"));
    EXPECT_EQ(platform::userFilePath(u"record.sqlite"), own(u"record.sqlite"));
    // No shipped settings: the user's path, in a folder that is there for the
    // first write to create the file in.
    EXPECT_EQ(platform::dataPath(u"database\\qrnv.ini"), own(u"qrnv.ini"));
    EXPECT_FALSE(QFileInfo::exists(own(u"qrnv.ini")));
    EXPECT_TRUE(QFileInfo(own(u"")).isDir());
}

TEST_F(InstalledLayoutTest, LibraryStartsAsAWritableCopyOfTheShippedOneAndIsThenTheUsers)
{
    const QString library = platform::dataPath(u"database\\ziku.txt");
    ASSERT_EQ(library, own(u"ziku.txt"));
    EXPECT_EQ(readFile(library), "shipped\r\n");
    // Installed read-only, but the copy is the user's to save.
    EXPECT_TRUE(QFile::permissions(library) & QFile::WriteOwner);

    writeFile(library, "edited\r\n");
    QFile::setPermissions(shipped(u"database/ziku.txt"), QFile::ReadOwner | QFile::WriteOwner);
    writeFile(shipped(u"database/ziku.txt"), "reinstalled\r\n");
    platform::setProgramDir(m_dir.filePath(QStringLiteral("usr/bin"))); // a new start
    EXPECT_EQ(readFile(platform::dataPath(u"database\\ziku.txt")), "edited\r\n");
}

TEST_F(InstalledLayoutTest, WithoutAUserFolderTheShippedLibraryIsStillRead)
{
    // The data folder can't be made: a file stands where it should be.
    writeFile(m_dir.filePath(QStringLiteral("home/data/quenlo")), "in the way");
    EXPECT_EQ(platform::dataPath(u"database\\ziku.txt"), shipped(u"database/ziku.txt"));
}
