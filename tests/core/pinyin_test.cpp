// The pinyin of entries: words read as words, the tone sandhi of 一 and 不,
// characters without reading, damaged files, and the share of a list of
// words with characters of several readings that is read right.

#include "core/pinyin.h"
#include "tests/core/sourcefiles.h"
#include "tests/support/printers.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>

namespace {

using core::PinyinData;

const PinyinData& shippedFile()
{
    static const PinyinData data(sourcePath("database/pinyin.bin"));
    return data;
}

QString joined(const QStringList& syllables)
{
    return syllables.join(u' ');
}

TEST(Pinyin, WordsAreReadAsWordsAndOneAndNotAsSpoken)
{
    const struct {
        const char* text;
        const char* reading; // syllables joined by blanks; "" for a character without reading
    } cases[] = {
        // Characters of several readings, read by the word they stand in.
        {"银行", "yín háng"},
        {"行走", "xíng zǒu"},
        {"长大", "zhǎng dà"},
        {"音乐", "yīn yuè"},
        {"快乐", "kuài lè"},
        {"重要", "zhòng yào"},
        {"重新", "chóng xīn"},
        {"银行长大", "yín háng zhǎng dà"},
        {"人之初", "rén zhī chū"},
        {"行", "xíng"},
        // 一 and 不 before a fourth tone, before the others, in numbers.
        {"一个", "yí gè"},
        {"一天", "yì tiān"},
        {"一起", "yì qǐ"},
        {"不是", "bú shì"},
        {"不对", "bú duì"},
        {"不好", "bù hǎo"},
        {"一", "yī"},
        {"不", "bù"},
        {"第一", "dì yī"},
        {"十一", "shí yī"},
        {"十一个", "shí yī gè"},
        {"一二三", "yī èr sān"},
        {"一百", "yì bǎi"},
        {"唯一的", "wéi yī de"},
        {"看一看", "kàn yi kàn"},
        {"是不是", "shì bu shì"},
        {"一a", "yī "},
        // What is no Chinese character has no reading, one empty string each.
        {"ABC", "  "},
        {"3个", " gè"},
        {"\xF0\xA0\x80\x80\xE5\xA4\xA7", " dà"}, // U+20000 has no reading here
        {"", ""},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const QStringList syllables = shippedFile().pinyinOf(text);
        EXPECT_EQ(syllables.size(), text.toUcs4().size()) << c.text;
        EXPECT_EQ(joined(syllables), QString::fromUtf8(c.reading)) << c.text;
    }
}

TEST(Pinyin, ACharacterAloneReadsItsMostCommonReading)
{
    EXPECT_EQ(shippedFile().readingOf(U'长'), QStringLiteral("cháng"));
    EXPECT_EQ(shippedFile().readingOf(U'A'), QString());
    EXPECT_GT(shippedFile().characterCount(), 20000);
    EXPECT_GT(shippedFile().wordCount(), 50000);
    EXPECT_TRUE(QFile::exists(sourcePath("database/pinyin-pro-LICENSE.txt")));
    EXPECT_TRUE(QFile::exists(sourcePath("database/pinyin-pro-data-LICENSE.txt")));
}

TEST(Pinyin, ADamagedFileKnowsNoCharacter)
{
    QFile shipped(sourcePath("database/pinyin.bin"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QByteArray whole = shipped.readAll();
    QByteArray otherVersion = whole;
    otherVersion[8] = 9;
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"header only", whole.left(20)},
        {"another version", otherVersion},
        {"cut in the characters", whole.left(40000)},
        {"cut in the words", whole.left(whole.size() - 10)},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromUtf8(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        const PinyinData data(path);
        EXPECT_EQ(data.pinyinOf(u"银行一个"), QStringList({QString(), QString(), QString(), QString()}));
        EXPECT_EQ(data.characterCount(), 0);
    }
}

// The list's words read by the shipped file: at least 98 % of them right.
TEST(Pinyin, WordsOfCharactersWithSeveralReadingsAreReadRight)
{
    QFile file(sourcePath("tests/core/data/polyphonic-words.tsv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QMap<QString, int> right;
    QMap<QString, int> all;
    QStringList misread;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList fields = line.split(u'\t');
        ASSERT_EQ(fields.size(), 3) << line.toStdString();
        const QString read = joined(shippedFile().pinyinOf(fields[0]));
        ++all[fields[2]];
        if (fields[1].split(u'|').contains(read))
            ++right[fields[2]];
        else
            misread << fields[0] + u' ' + read + QStringLiteral(" (") + fields[1] + u')';
    }
    int rightInAll = 0;
    int wordsInAll = 0;
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        std::cout << it.key().toStdString() << ": " << right[it.key()] << " of " << it.value()
                  << " read right (" << 100.0 * right[it.key()] / it.value() << " %)\n";
        rightInAll += right[it.key()];
        wordsInAll += it.value();
    }
    std::cout << "all: " << rightInAll << " of " << wordsInAll << " (" << 100.0 * rightInAll / wordsInAll
              << " %)\nmisread: " << misread.join(QStringLiteral(", ")).toStdString() << '\n';
    EXPECT_GE(wordsInAll, 300);
    EXPECT_GE(100.0 * rightInAll / wordsInAll, 98.0);
}

} // namespace
