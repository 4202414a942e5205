#include "platform/profile.h"

#include "tests/support/programfolder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using testing_support::gbk;
namespace profile = platform::profile;

const QString kIni = QStringLiteral("database/qrnv.ini");

class ProfileTest : public testing::Test {
protected:
    void setFile(const QByteArray& bytes) { folder.writeFile(kIni, bytes); }
    QByteArray file() const { return folder.readFile(kIni); }
    QByteArray read(QByteArrayView section, QByteArrayView key) const
    {
        return profile::readString(path, section, key, "<default>");
    }
    bool write(QByteArrayView section, QByteArrayView key, QByteArrayView value)
    {
        return profile::writeString(path, section, key, value).ok();
    }

    testing_support::ProgramFolder folder;
    QString path = folder.path(kIni);
};

TEST_F(ProfileTest, ReadsValuesTrimmedAndUnquotedOnce)
{
    EXPECT_EQ(read("Sec", "key"), "<default>"); // no file yet
    setFile(" \t[ Sec ] trailing\r\n"
            "  key \t=\t two words \t\r\n"
            "double=\"quoted\"\r\nsingle=' quoted '\r\nmixed=\"quoted'\r\ntwice=\"\"x\"\"\r\n"
            "empty=\r\nequals=a=b\r\n");
    EXPECT_EQ(read("Sec", "key"), "two words");
    EXPECT_EQ(read("Sec", "double"), "quoted");
    EXPECT_EQ(read("Sec", "single"), " quoted ");
    EXPECT_EQ(read("Sec", "mixed"), "\"quoted'");
    EXPECT_EQ(read("Sec", "twice"), "\"x\"");
    EXPECT_EQ(read("Sec", "empty"), "");
    EXPECT_EQ(read("Sec", "equals"), "a=b");
    EXPECT_EQ(read("Sec", "missing"), "<default>");
    EXPECT_EQ(read("Other", "key"), "<default>");
}

TEST_F(ProfileTest, FindsOnlyRealKeysOfTheFirstCopy)
{
    setFile("lost=0\r\n" // before any section
            "[Fonts]\r\n; face=comment\r\n  ;face=comment\r\nface\r\n[broken=1\r\n"
            "FACE=first\r\nface=second\r\n"
            "[fonts]\r\nface=third\r\nsize=4\r\n");
    EXPECT_EQ(read("fONTS", "Face"), "first");
    EXPECT_EQ(read("Fonts", "size"), "<default>"); // only in the second copy
    EXPECT_EQ(read("Fonts", "lost"), "<default>");
    EXPECT_EQ(read("Fonts", "[broken"), "1"); // a '[' line without ']' is a key line
}

TEST_F(ProfileTest, CrLfAndCrAndLfAllEndLines)
{
    setFile("[a]\rone=1\ntwo=2\r\nthree=3\n\rfour=4");
    EXPECT_EQ(read("a", "one"), "1");
    EXPECT_EQ(read("a", "two"), "2");
    EXPECT_EQ(read("a", "three"), "3");
    EXPECT_EQ(read("a", "four"), "4");
}

// 竇 is B8 5D, its trail byte a ']'; 碼 (B4 61) and 碅 (B4 41) differ only in
// the case of an ASCII-looking trail byte.
TEST_F(ProfileTest, GbkNamesAreScannedByCharacterAndCompareExactly)
{
    setFile(gbk(QStringLiteral("[竇]\r\n碼=lower\r\n[碅]\r\nkey=upper\r\n")));
    EXPECT_EQ(read(gbk(QStringLiteral("竇")), "\xB4\x61"), "lower");
    EXPECT_EQ(read(gbk(QStringLiteral("竇")), "\xB4\x41"), "<default>");
    EXPECT_EQ(read("\xB4\x61", "key"), "<default>");
    EXPECT_EQ(read("\xB4\x41", "key"), "upper");

    ASSERT_TRUE(write(gbk(QStringLiteral("竇")), "\xB4\x61", "new"));
    EXPECT_EQ(file(), gbk(QStringLiteral("[竇]\r\n碼=new\r\n[碅]\r\nkey=upper\r\n")));
}

TEST_F(ProfileTest, LongValuesAreCutAt2047BytesBetweenCharacters)
{
    const QByteArray exact(profile::kBufferSize - 1, 'a');
    const QByteArray straddling = QByteArray(profile::kBufferSize - 2, 'a') + gbk(QStringLiteral("字"));
    setFile("[a]\r\nlong=" + exact + "tail\r\nexact=" + exact + "\r\nstraddling=" + straddling + "\r\n");
    EXPECT_EQ(read("a", "long"), exact);
    EXPECT_EQ(read("a", "exact"), exact);
    EXPECT_EQ(read("a", "straddling"), straddling.first(profile::kBufferSize - 2));
}

TEST_F(ProfileTest, WriteChangesOnlyTheKeyLineKeepingTheFilesKeySpelling)
{
    const QByteArray before = "; settings\n\n[a]\r  Key = old ; not a comment\r\n\tnext = 2 \n\n; end\r";
    setFile(before);
    ASSERT_TRUE(write("A", "KEY", "new value"));
    EXPECT_EQ(file(), "; settings\n\n[a]\rKey=new value\r\n\tnext = 2 \n\n; end\r");
    EXPECT_EQ(read("a", "key"), "new value");
}

TEST_F(ProfileTest, NewKeyFollowsTheLastKeyLineOfTheFirstCopy)
{
    setFile("[a]\r\nk=1\r\n\r\n; about b\r\n[b]\n[a]\r\n");
    ASSERT_TRUE(write("a", "new", "2"));
    EXPECT_EQ(file(), "[a]\r\nk=1\r\nnew=2\r\n\r\n; about b\r\n[b]\n[a]\r\n");

    ASSERT_TRUE(write("b", "first", "3")); // a section without keys: right after its header
    EXPECT_EQ(file(), "[a]\r\nk=1\r\nnew=2\r\n\r\n; about b\r\n[b]\nfirst=3\r\n[a]\r\n");
}

TEST_F(ProfileTest, NewKeyAfterALastLineWithoutLineEnd)
{
    setFile("[a]\r\nk=1");
    ASSERT_TRUE(write("a", "new", "2"));
    EXPECT_EQ(file(), "[a]\r\nk=1\r\nnew=2\r\n");
}

TEST_F(ProfileTest, NewSectionGoesAtTheEndAfterALineEnd)
{
    setFile("[a]\nk=1");
    ASSERT_TRUE(write("b", "n", "1"));
    EXPECT_EQ(file(), "[a]\nk=1\r\n[b]\r\nn=1\r\n");

    setFile("[a]\nk=1\n");
    ASSERT_TRUE(write("b", "n", "1"));
    EXPECT_EQ(file(), "[a]\nk=1\n[b]\r\nn=1\r\n");
}

TEST_F(ProfileTest, NewFileHoldsTheSectionAndTheKey)
{
    ASSERT_TRUE(write(gbk(QStringLiteral("字体")), "zt", ""));
    EXPECT_EQ(file(), gbk(QStringLiteral("[字体]\r\nzt=\r\n")));
}

// A settings file saved by a text editor in UTF-8, with or without a
// byte-order mark, reads its sections from the first line on, and writing a
// key keeps its encoding, its mark and every other byte, a character GBK
// can't hold included.
TEST_F(ProfileTest, Utf8FilesReadAndWriteInTheirOwnEncoding)
{
    // U+F8F5 is the code page's one-byte character 0xFF, a foreign run's mark.
    const QString before = QStringLiteral("[显示]\r\n字体=楷体\r\n; 笑😀\n[其他]\n名=😀\n记=\uF8F541\uF8F5\n");
    const QString after = QStringLiteral("[显示]\r\n字体=黑体\r\n大小=72\r\n; 笑😀\n[其他]\n名=😀\n"
                                         "记=\uF8F541\uF8F5\n[新]\r\nk=好\r\n");
    const QByteArray bom = "\xEF\xBB\xBF";
    for (const QByteArray& mark : {QByteArray(), bom}) {
        SCOPED_TRACE(mark.isEmpty() ? "UTF-8" : "UTF-8 with BOM");
        setFile(mark + before.toUtf8());
        EXPECT_EQ(read(gbk(QStringLiteral("显示")), gbk(QStringLiteral("字体"))),
                  gbk(QStringLiteral("楷体")));
        EXPECT_EQ(read(gbk(QStringLiteral("其他")), gbk(QStringLiteral("名"))), "\xFF"
                                                                                "F09F9880\xFF");
        EXPECT_EQ(read(gbk(QStringLiteral("其他")), gbk(QStringLiteral("记"))), "\xFF"
                                                                                "EFA3B5\xFF"
                                                                                "41\xFF"
                                                                                "EFA3B5\xFF");
        ASSERT_TRUE(
            write(gbk(QStringLiteral("显示")), gbk(QStringLiteral("字体")), gbk(QStringLiteral("黑体"))));
        ASSERT_TRUE(write(gbk(QStringLiteral("显示")), gbk(QStringLiteral("大小")), "72"));
        ASSERT_TRUE(write(gbk(QStringLiteral("新")), "k", gbk(QStringLiteral("好"))));
        EXPECT_EQ(file(), mark + after.toUtf8());
    }
}

// Whatever the file's encoding, a write reads back as written and leaves
// every other line as the program reads it.
TEST_F(ProfileTest, WritesReadBackAsWrittenWhateverTheEncoding)
{
    // UTF-8 that reads as UTF-8 only while the Chinese outweighs the rest:
    // with "°" added it would read as GBK, so the file gets the mark.
    const QByteArray bom = "\xEF\xBB\xBF";
    setFile(QStringLiteral("[a]\r\nk=你あ\r\n").toUtf8());
    ASSERT_TRUE(write("a", "j", gbk(QStringLiteral("°"))));
    EXPECT_EQ(read("a", "j"), gbk(QStringLiteral("°")));
    EXPECT_EQ(read("a", "k"), gbk(QStringLiteral("你あ")));
    EXPECT_EQ(file(), bom + QStringLiteral("[a]\r\nk=你あ\r\nj=°\r\n").toUtf8());

    // Bytes of a GBK file that look like a foreign run are the file's own:
    // the file stays GBK rather than turning them into the character.
    setFile("[a]\r\nk=\xFF"
            "41\xFF\r\n");
    ASSERT_TRUE(write("a", "j", "1"));
    EXPECT_EQ(read("a", "k"), "\xFF"
                              "41\xFF");
    EXPECT_EQ(file(), "[a]\r\nk=\xFF"
                      "41\xFF\r\nj=1\r\n");

    // A lead byte whose second byte is no trail ("\x81=") is no character:
    // UTF-8 can't hold it, so the write is refused and the file kept.
    const QByteArray utf8File = bom + QStringLiteral("[a]\r\nk=😀\r\n").toUtf8();
    setFile(utf8File);
    const platform::WriteResult refused = profile::writeString(path, "\x81=", "k", "v");
    EXPECT_FALSE(refused.ok());
    EXPECT_FALSE(refused.failureReason.isEmpty());
    EXPECT_FALSE(write("a", "k", "\x81="));
    EXPECT_EQ(file(), utf8File);
    // A GBK file keeps such bytes as they are.
    setFile("[a]\r\nk=1\r\n");
    ASSERT_TRUE(write("\x81=", "k", "v\x81="));
    EXPECT_EQ(read("\x81=", "k"), "v\x81=");

    // Stray bytes that read as UTF-8 once the only non-UTF-8 line is
    // replaced: the file keeps its bytes, and every setting reads the same.
    setFile("\xEF\xA3\xB5\r\n[a]\r\nk=\xFF\r\nj=2\r\n");
    ASSERT_TRUE(write("a", "k", "1"));
    EXPECT_EQ(file(), "\xEF\xA3\xB5\r\n[a]\r\nk=1\r\nj=2\r\n");
    EXPECT_EQ(read("a", "j"), "2");
    ASSERT_TRUE(write("a", "j", "3"));
    EXPECT_EQ(read("a", "k"), "1");
}

TEST_F(ProfileTest, FailedWritesGiveTheReasonAndKeepTheOldFile)
{
    EXPECT_EQ(
        profile::writeString(folder.path(QStringLiteral("missing/qrnv.ini")), "a", "k", "v").failureReason,
        QStringLiteral("No such file or directory"));
    EXPECT_EQ(profile::writeString(folder.path(QStringLiteral("database")), "a", "k", "v").failureReason,
              QStringLiteral("Is a directory"));

    setFile("[a]\r\nk=old\r\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    EXPECT_FALSE(write("a", "k", "new"));
    EXPECT_EQ(file(), "[a]\r\nk=old\r\n");
}

} // namespace
