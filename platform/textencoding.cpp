#include "platform/textencoding.h"

#include "platform/codepage936.h"
#include "platform/gbk.h"

#include <QString>
#include <QStringDecoder>

#include <uchardet.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <type_traits>

namespace platform::textencoding {

namespace {

constexpr QByteArrayView kByteOrderMark = "\xEF\xBB\xBF";

unsigned char byteAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<unsigned char>(bytes[i]);
}

// The length of the well-formed UTF-8 sequence at `i` (no overlong forms,
// no surrogates, nothing past U+10FFFF), or 0 when there is none.
qsizetype utf8SequenceLength(QByteArrayView bytes, qsizetype i)
{
    const unsigned char lead = byteAt(bytes, i);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80; // the allowed range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > bytes.size() || byteAt(bytes, i + 1) < low || byteAt(bytes, i + 1) > high)
        return 0;
    for (qsizetype k = 2; k < length; ++k) {
        if (byteAt(bytes, i + k) < 0x80 || byteAt(bytes, i + k) > 0xBF)
            return 0;
    }
    return length;
}

enum class Utf8Shape { Ascii, MultiByte, Invalid };

// Stops at the first ill-formed sequence: GBK text, the common case, is
// usually told within its first few characters.
Utf8Shape utf8Shape(QByteArrayView bytes)
{
    bool multiByte = false;
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = utf8SequenceLength(bytes, i);
        if (length == 0)
            return Utf8Shape::Invalid;
        multiByte = multiByte || length > 1;
        i += length;
    }
    return multiByte ? Utf8Shape::MultiByte : Utf8Shape::Ascii;
}

// Every byte from 0x81 leads a pair whose trail is 0x40-0x7E or 0x80-0xFE;
// 0xFF is no GBK byte at all.
bool isWellFormedGbk(QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size();) {
        const unsigned char lead = byteAt(bytes, i);
        if (lead < 0x81) {
            ++i;
            continue;
        }
        if (lead == 0xFF || i + 1 == bytes.size())
            return false;
        const unsigned char trail = byteAt(bytes, i + 1);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF)
            return false;
        i += 2;
    }
    return true;
}

// How much a reading looks like a child's Chinese text: the share of its
// characters beyond ASCII that are common Chinese.
struct ChineseWeight {
    qsizetype weight = 0;
    qsizetype characters = 0;
};

// In GBK, a basic hanzi (rows B0-F7), Chinese punctuation (A1A1-A1BF) or a
// full-width form (row A3) weighs 1; anything else, such as Greek, kana,
// signs like the degree sign or the hanzi beyond the basic set, weighs 0.
int weightOfGbkCharacter(unsigned char lead, unsigned char trail)
{
    if (trail < 0xA1 || trail == 0xFF)
        return 0;
    const bool hanzi = lead >= 0xB0 && lead <= 0xF7;
    const bool punctuation = lead == 0xA1 && trail <= 0xBF;
    return (hanzi || punctuation || lead == 0xA3) ? 1 : 0;
}

ChineseWeight chineseWeightOfGbk(QByteArrayView gbk)
{
    ChineseWeight result;
    for (qsizetype i = 0; i < gbk.size();) {
        const unsigned char lead = byteAt(gbk, i);
        if (!gbk::isLeadByte(lead) || i + 1 == gbk.size()) {
            // 0x80 is the euro sign in GBK but a UTF-8 trail byte: rare in
            // a child's deck, it weighs against the GBK reading.
            result.characters += lead == 0x80 ? 1 : 0;
            ++i;
            continue;
        }
        result.weight += weightOfGbkCharacter(lead, byteAt(gbk, i + 1));
        ++result.characters;
        i += 2;
    }
    return result;
}

// The same measure for UTF-8 text, judged on its GBK form; a character
// without one weighs 0.
ChineseWeight chineseWeightOfUtf8(QByteArrayView utf8)
{
    ChineseWeight result = chineseWeightOfGbk(gbk::encodeLiteral(QString::fromUtf8(utf8)));
    result.characters = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (byteAt(utf8, i) >= 0xC0)
            ++result.characters;
    }
    return result;
}

struct DetectorDeleter {
    void operator()(uchardet_t detector) const { uchardet_delete(detector); }
};

// The charset detector's verdict, when it names one of our two encodings.
std::optional<Encoding> detectorVerdict(QByteArrayView bytes)
{
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, DetectorDeleter> detector(uchardet_new());
    if (!detector || uchardet_handle_data(detector.get(), bytes.data(), size_t(bytes.size())) != 0)
        return std::nullopt;
    uchardet_data_end(detector.get());
    const QByteArray charset = QByteArray(uchardet_get_charset(detector.get())).toUpper();
    if (charset == "UTF-8")
        return Encoding::Utf8;
    if (charset == "GB18030" || charset == "GBK" || charset == "GB2312")
        return Encoding::Gbk;
    return std::nullopt;
}

Encoding betterReadingOf(QByteArrayView bytes)
{
    const ChineseWeight asUtf8 = chineseWeightOfUtf8(bytes);
    const ChineseWeight asGbk = chineseWeightOfGbk(bytes);
    // Compare the averages without dividing.
    const qsizetype utf8Score = asUtf8.weight * asGbk.characters;
    const qsizetype gbkScore = asGbk.weight * asUtf8.characters;
    if (utf8Score != gbkScore)
        return utf8Score > gbkScore ? Encoding::Utf8 : Encoding::Gbk;
    return detectorVerdict(bytes).value_or(Encoding::Gbk);
}

// Converts UTF-8 text (without a byte-order mark) to GBK, checking that the
// GBK text decodes to the very same characters; a converter that leaves no
// error is not enough, as some characters map to GBK one way only.
class Utf8ToGbk {
public:
    // The GBK form of `utf8`, or nothing when part of it can't go there and
    // back unchanged.
    std::optional<QByteArray> convert(QByteArrayView utf8)
    {
        if (utf8Shape(utf8) == Utf8Shape::Invalid)
            return std::nullopt;
        const QString text = m_utf8Decoder.decode(utf8);
        codepage936::Encoded result = codepage936::encode(text);
        // 0xFF (the code page's U+F8F5) would read back as a foreign run's mark.
        if (!result.complete || result.bytes.contains(gbk::kForeignMark)
            || codepage936::decode(result.bytes) != text)
            return std::nullopt;
        return std::move(result.bytes);
    }

    // Line by line, so that only a line holding what GBK can't keep is
    // looked at character by character. Line ends are ASCII in both.
    QByteArray convertByLines(QByteArrayView utf8)
    {
        QByteArray result;
        result.reserve(utf8.size());
        for (qsizetype begin = 0; begin < utf8.size();) {
            qsizetype end = begin;
            while (end < utf8.size() && utf8[end] != '\r' && utf8[end] != '\n')
                ++end;
            const QByteArrayView line = utf8.sliced(begin, end - begin);
            if (const std::optional<QByteArray> converted = convert(line))
                result += *converted;
            else
                result += convertByCharacters(line);
            begin = end;
            while (begin < utf8.size() && (utf8[begin] == '\r' || utf8[begin] == '\n'))
                result += utf8[begin++];
        }
        return result;
    }

private:
    QByteArray convertByCharacters(QByteArrayView utf8)
    {
        QByteArray result;
        QByteArray foreign; // consecutive bytes GBK can't keep make one run
        const auto endForeignRun = [&] {
            if (!foreign.isEmpty())
                result += gbk::foreignRun(foreign);
            foreign.clear();
        };
        for (qsizetype i = 0; i < utf8.size();) {
            const qsizetype length = std::max<qsizetype>(1, utf8SequenceLength(utf8, i));
            const QByteArrayView character = utf8.sliced(i, length);
            const std::optional<QByteArray> converted = convert(character);
            if (converted) {
                endForeignRun();
                result += *converted;
            } else {
                foreign += character;
            }
            i += length;
        }
        endForeignRun();
        return result;
    }

    // A U+FEFF that starts a line or a character is text of the file (our
    // caller has taken off the file's byte-order mark): kept, not skipped as
    // QString::fromUtf8 would, so that it travels as a foreign run.
    QStringDecoder m_utf8Decoder {QStringDecoder::Utf8,
                                  QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom};
};

QByteArray gbkToUtf8(QByteArrayView gbk)
{
    QByteArray result;
    qsizetype plainStart = 0;
    const auto flushPlain = [&](qsizetype end) {
        result += gbk::decode(gbk.sliced(plainStart, end - plainStart)).toUtf8();
    };
    for (qsizetype at = gbk.indexOf(gbk::kForeignMark); at >= 0;) {
        if (const std::optional<gbk::ForeignRun> run = gbk::foreignRunAt(gbk, at)) {
            flushPlain(at);
            result += run->original;
            plainStart = run->end;
            at = gbk.indexOf(gbk::kForeignMark, run->end);
        } else {
            at = gbk.indexOf(gbk::kForeignMark, at + 1);
        }
    }
    flushPlain(gbk.size());
    return result;
}

} // namespace

Encoding detect(QByteArrayView bytes)
{
    if (bytes.startsWith(kByteOrderMark))
        return Encoding::Utf8WithBom;
    if (utf8Shape(bytes) != Utf8Shape::MultiByte)
        return Encoding::Gbk;
    if (!isWellFormedGbk(bytes))
        return Encoding::Utf8;
    return betterReadingOf(bytes);
}

Text fromFileBytes(QByteArray bytes)
{
    const Encoding encoding = detect(bytes);
    if (encoding == Encoding::Gbk)
        return Text {std::move(bytes), encoding};
    return Text {toGbk(bytes, encoding), encoding};
}

QByteArray toGbk(QByteArrayView bytes, Encoding encoding)
{
    if (encoding == Encoding::Gbk)
        return bytes.toByteArray();
    if (bytes.startsWith(kByteOrderMark))
        bytes = bytes.sliced(kByteOrderMark.size());
    Utf8ToGbk converter;
    if (std::optional<QByteArray> whole = converter.convert(bytes))
        return *std::move(whole);
    return converter.convertByLines(bytes);
}

QByteArray toFileBytes(QByteArrayView gbk, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Gbk:
        return gbk.toByteArray();
    case Encoding::Utf8:
        return gbkToUtf8(gbk);
    case Encoding::Utf8WithBom:
        return kByteOrderMark.toByteArray() + gbkToUtf8(gbk);
    }
    return gbk.toByteArray();
}

QString displayText(QByteArrayView gbk)
{
    return QString::fromUtf8(gbkToUtf8(gbk));
}

Encoding encodingToWrite(Encoding existing, QByteArrayView gbk)
{
    if (existing == Encoding::Gbk && gbk::holdsForeignRun(gbk))
        return Encoding::Utf8;
    return existing;
}

std::optional<QByteArray> fileBytesReadingBackAs(const QByteArray& gbk, Encoding existing)
{
    // The usual case, a GBK file that stays GBK, without a copy of the text:
    // a library of a million entries is megabytes.
    if (encodingToWrite(existing, gbk) == Encoding::Gbk && detect(gbk) == Encoding::Gbk)
        return gbk;
    const Encoding candidates[] = {encodingToWrite(existing, gbk), existing, Encoding::Utf8WithBom};
    for (const Encoding encoding : candidates) {
        QByteArray bytes = toFileBytes(gbk, encoding);
        if (fromFileBytes(bytes).gbk == gbk)
            return bytes;
    }
    return std::nullopt;
}

QString textNotStorableReason()
{
    return QStringLiteral("Text that is not GBK cannot be stored in a UTF-8 file");
}

} // namespace platform::textencoding
