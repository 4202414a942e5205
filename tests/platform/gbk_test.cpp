#include "platform/gbk.h"

#include <gtest/gtest.h>

namespace {

namespace gbk = platform::gbk;

TEST(GbkTest, CodePage936BothWays)
{
    const QString text = QStringLiteral("华文楷体 a€");
    const QByteArray bytes = "\xBB\xAA\xCE\xC4\xBF\xAC\xCC\xE5 a\x80";
    EXPECT_EQ(gbk::encode(text), bytes);
    EXPECT_EQ(gbk::decode(bytes), text);
}

TEST(GbkTest, TextWithoutGbkFormIsRefused)
{
    const QString text = QStringLiteral("字😀体");
    EXPECT_EQ(gbk::encode(text), std::nullopt);
    EXPECT_EQ(gbk::firstUnencodable(text), QStringLiteral("😀"));
    EXPECT_EQ(gbk::firstUnencodable(QStringLiteral("字体")), std::nullopt);
    // The code page's one-byte U+F8F5 would be 0xFF, a foreign run's mark.
    EXPECT_EQ(gbk::encode(QStringLiteral("a\uF8F5")), std::nullopt);
    EXPECT_EQ(gbk::firstUnencodable(QStringLiteral("a\uF8F5")), QStringLiteral("\uF8F5"));
}

TEST(GbkTest, UnpairedSurrogateIsRefusedAnywhere)
{
    const QChar high(0xD9E2);
    const QChar low(0xDC00);
    for (const QString& text : {QStringLiteral("a") + high, high + QStringLiteral("a"),
                                QStringLiteral("字") + low + QStringLiteral("体"), QString(low) + high}) {
        SCOPED_TRACE(text.toStdU16String().size());
        EXPECT_EQ(gbk::encode(text), std::nullopt);
        ASSERT_TRUE(gbk::firstUnencodable(text).has_value());
        EXPECT_EQ(gbk::firstUnencodable(text)->size(), 1);
        EXPECT_TRUE(gbk::firstUnencodable(text)->front().isSurrogate());
    }
}

// Every converter of code page 936 the program uses (ICU's on Linux, the
// system's on Windows) reads broken bytes alike: a lead byte whose next byte
// can't follow it is one replacement character, and that next byte is read
// afresh.
TEST(GbkTest, DecodingBrokenBytesNeverFails)
{
    const struct {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"a\x81", QStringLiteral("a\uFFFD")},
        {"\x81\x30z", QStringLiteral("\uFFFD0z")},
        {"\xD6\xD0\x81\x7F\xCE\xC4", QStringLiteral("\u4E2D\uFFFD\u007F\u6587")},
        {"\x81 \xFF", QStringLiteral("\uFFFD \uF8F5")},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(gbk::decode(bytes), text) << bytes.toHex().constData();
}

TEST(GbkTest, PrefixNeverSplitsADoubleByteCharacter)
{
    const QByteArray bytes = "a\xD7\xD6"
                             "b"; // a字b
    EXPECT_EQ(gbk::prefixLength(bytes, 0), 0);
    EXPECT_EQ(gbk::prefixLength(bytes, 1), 1);
    EXPECT_EQ(gbk::prefixLength(bytes, 2), 1);
    EXPECT_EQ(gbk::prefixLength(bytes, 3), 3);
    EXPECT_EQ(gbk::prefixLength(bytes, 100), 4);
    // A lead byte left alone at the end stays out, whatever the limit.
    EXPECT_EQ(gbk::prefixLength("a\x81", 2), 1);
    EXPECT_EQ(gbk::prefixLength("a\x81", 100), 1);
    EXPECT_EQ(gbk::prefixLength("\xB8]]", 2), 2); // the trail byte may be ']'
}

} // namespace
