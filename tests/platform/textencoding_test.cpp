#include "platform/gbk.h"
#include "platform/textencoding.h"

#include "tests/support/programfolder.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <gtest/gtest.h>

namespace {

namespace textencoding = platform::textencoding;
using testing_support::gbk;
using textencoding::Encoding;

const QByteArray kBom = "\xEF\xBB\xBF";

QByteArray shippedFile(const QString& name)
{
    QFile file(QStringLiteral(QUENLO_SOURCE_DIR "/database/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

bool isValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

TEST(TextEncoding, ShippedDecksAreToldInEveryForm)
{
    for (const QString& name : QDir(QStringLiteral(QUENLO_SOURCE_DIR "/database"))
                                   .entryList({QStringLiteral("*.qrnv"), QStringLiteral("ziku.txt")})) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray gbkBytes = shippedFile(name);
        const QByteArray utf8Bytes = testing_support::gbkDecode(gbkBytes).toUtf8();
        EXPECT_EQ(textencoding::detect(gbkBytes), Encoding::Gbk);
        EXPECT_EQ(textencoding::detect(utf8Bytes), Encoding::Utf8);
        EXPECT_EQ(textencoding::detect(kBom + utf8Bytes), Encoding::Utf8WithBom);
        EXPECT_EQ(textencoding::fromFileBytes(utf8Bytes).gbk, gbkBytes);
        EXPECT_EQ(textencoding::fromFileBytes(kBom + utf8Bytes).gbk, gbkBytes);
        EXPECT_EQ(textencoding::toFileBytes(gbkBytes, Encoding::Utf8WithBom), kBom + utf8Bytes);
    }
}

TEST(TextEncoding, OneCharacterLibrariesOfEveryBasicHanziInBothEncodings)
{
    // One line of one character is where a detector is weakest. Many GBK
    // hanzi are also valid UTF-8 ("习" is CF B0, "ϰ" in UTF-8), and some
    // UTF-8 hanzi are also valid GBK ("一" is E4 B8 80: a hanzi and the euro
    // sign); each must still go to the reading that is Chinese.
    int ties = 0;
    for (int lead = 0xB0; lead <= 0xF7; ++lead) {
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            const QByteArray gbkBytes = QByteArray(1, char(lead)) + char(trail);
            const QString character = testing_support::gbkDecode(gbkBytes);
            if (character.size() != 1 || character[0].unicode() < 0x4E00)
                continue; // the unassigned end of row D7
            for (const char* lineEnd : {"", "\n", "\r\n"}) {
                const QByteArray asGbk = gbkBytes + lineEnd;
                const QByteArray asUtf8 = character.toUtf8() + lineEnd;
                ties += isValidUtf8(asGbk) ? 1 : 0;
                ASSERT_EQ(textencoding::detect(asGbk), Encoding::Gbk) << character.toStdString();
                ASSERT_EQ(textencoding::detect(asUtf8), Encoding::Utf8) << character.toStdString();
            }
        }
    }
    EXPECT_GT(ties, 100); // the ties were really met
}

TEST(TextEncoding, ShortTextsTellTheirEncoding)
{
    struct Case {
        QByteArray bytes;
        Encoding expected;
    };
    const Case cases[] = {
        {"\xCF\xB0\r\n", Encoding::Gbk},              // 习 in GBK; U+03F0 in UTF-8
        {"\xC2\xB0", Encoding::Gbk},                  // 掳 in GBK; the degree sign in UTF-8
        {"\xE4\xB8\x80\n", Encoding::Utf8},           // 一 in UTF-8; a hanzi and the euro in GBK
        {"\xE4\xBD\xA0\xE5\xA5\xBD", Encoding::Utf8}, // 你好 in UTF-8; valid GBK, partly kana
        {"\xB4\xF3", Encoding::Gbk},                  // 大 in GBK: not UTF-8
        {"\xE5\xA4\xA7", Encoding::Utf8},             // 大 in UTF-8: not GBK
        {kBom, Encoding::Utf8WithBom},
        {kBom + "\xB4\xF3", Encoding::Utf8WithBom}, // the mark decides
        {"", Encoding::Gbk},
        {"abc\r\n", Encoding::Gbk}, // ASCII reads the same
    };
    for (const Case& c : cases)
        EXPECT_EQ(textencoding::detect(c.bytes), c.expected) << c.bytes.toHex(' ').toStdString();
}

TEST(TextEncoding, WhatGbkCantHoldTravelsAsForeignRunsAndComesBackUnchanged)
{
    // An emoji, a character outside GBK's repertoire, an invalid byte in a
    // file marked UTF-8, and lines with every kind of line end.
    // A U+FEFF after the mark, at the start of a line and inside one is
    // text as well, and so is one after an invalid byte.
    const QByteArray utf8 = QStringLiteral("\uFEFF大😀小\r\n𠀀\n好\r").toUtf8()
                            + "\xFF"
                              "a\n"
                            + QStringLiteral("\uFEFFk=\uFEFF1\n").toUtf8() + "k\xCB\xEF\xBB\xBF\xBB\xBFk\n";
    const QByteArray text = textencoding::toGbk(kBom + utf8, Encoding::Utf8WithBom);
    EXPECT_EQ(text, "\xFF"
                    "EFBBBF\xFF"
                        + gbk(QStringLiteral("大"))
                        + "\xFF"
                          "F09F9880\xFF"
                        + gbk(QStringLiteral("小")) + "\r\n"
                        + "\xFF"
                          "F0A08080\xFF\n"
                        + gbk(QStringLiteral("好")) + "\r"
                        + "\xFF"
                          "FF\xFF"
                          "a\n"
                        + "\xFF"
                          "EFBBBF\xFF"
                          "k=\xFF"
                          "EFBBBF\xFF"
                          "1\n"
                        + "k\xFF"
                          "CBEFBBBFBBBF\xFF"
                          "k\n");
    EXPECT_EQ(textencoding::toFileBytes(text, Encoding::Utf8WithBom), kBom + utf8);
    EXPECT_EQ(textencoding::toFileBytes(text, Encoding::Utf8), utf8);

    // Such text is never shown as garbage: it decodes as nothing.
    EXPECT_EQ(platform::gbk::decode(text), QString());
    EXPECT_EQ(platform::gbk::decode(gbk(QStringLiteral("小"))), QStringLiteral("小"));
    // GBK can't keep a foreign run, so text holding one is written as UTF-8;
    // a stray 0xFF byte is no foreign run.
    EXPECT_EQ(textencoding::encodingToWrite(Encoding::Gbk, text), Encoding::Utf8);
    EXPECT_EQ(textencoding::encodingToWrite(Encoding::Gbk, "Kai\xFF"), Encoding::Gbk);
    EXPECT_EQ(textencoding::encodingToWrite(Encoding::Utf8WithBom, text), Encoding::Utf8WithBom);
}

} // namespace
