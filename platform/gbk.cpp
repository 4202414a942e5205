#include "platform/gbk.h"

#include "platform/codepage936.h"

#include <algorithm>

namespace platform::gbk {

QString decode(QByteArrayView bytes)
{
    // Empty, not null: item views find a null text begins with no text at
    // all, not even an empty one, unlike an empty entry's.
    if (holdsForeignRun(bytes))
        return QStringLiteral("");
    // The decoder holds back a lead byte at the very end, waiting for the
    // rest of its character, and so would drop it: show it as broken.
    const qsizetype whole = prefixLength(bytes, bytes.size());
    QString text = codepage936::decode(bytes.first(whole));
    if (whole < bytes.size())
        text += QChar(QChar::ReplacementCharacter);
    return text;
}

namespace {
// The index of the first surrogate that is not half of a pair, if any. The
// encoder drops such a surrogate without reporting an error.
std::optional<qsizetype> firstUnpairedSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return i;
    }
    return std::nullopt;
}
} // namespace

std::optional<QByteArray> encode(QStringView text)
{
    if (firstUnpairedSurrogate(text))
        return std::nullopt;
    codepage936::Encoded encoded = codepage936::encode(text);
    // The code page gives the private-use U+F8F5 the single byte 0xFF, which
    // we keep for foreign runs: refused like any character GBK can't hold.
    if (!encoded.complete || encoded.bytes.contains(kForeignMark))
        return std::nullopt;
    return std::move(encoded.bytes);
}

QByteArray encodeLiteral(QStringView text)
{
    return codepage936::encode(text).bytes;
}

std::optional<QString> firstUnencodable(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size()) {
        // Keep surrogate pairs together: an emoji is one character.
        const qsizetype width = (text[i].isHighSurrogate() && i + 1 < text.size()
                                 && text[i + 1].isLowSurrogate())
                                    ? 2
                                    : 1;
        const QStringView character = text.mid(i, width);
        if (!encode(character))
            return character.toString();
        i += width;
    }
    return std::nullopt;
}

QByteArray foreignRun(QByteArrayView original)
{
    return kForeignMark + original.toByteArray().toHex().toUpper() + kForeignMark;
}

std::optional<ForeignRun> foreignRunAt(QByteArrayView text, qsizetype at)
{
    if (at >= text.size() || text[at] != kForeignMark)
        return std::nullopt;
    const qsizetype close = text.indexOf(kForeignMark, at + 1);
    const qsizetype digits = close - at - 1;
    if (close < 0 || digits == 0 || digits % 2 != 0)
        return std::nullopt;
    const QByteArrayView hex = text.sliced(at + 1, digits);
    const auto isHexDigit = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
    if (!std::all_of(hex.begin(), hex.end(), isHexDigit))
        return std::nullopt;
    return ForeignRun {QByteArray::fromHex(hex.toByteArray()), close + 1};
}

bool holdsForeignRun(QByteArrayView text)
{
    for (qsizetype at = text.indexOf(kForeignMark); at >= 0; at = text.indexOf(kForeignMark, at + 1)) {
        if (foreignRunAt(text, at))
            return true;
    }
    return false;
}

qsizetype prefixLength(QByteArrayView bytes, qsizetype limit)
{
    // A lead byte at the very end has no trail byte, so it never fits.
    const qsizetype end = std::min(limit, bytes.size());
    qsizetype i = 0;
    while (i < end) {
        const qsizetype width = isLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
        if (i + width > end)
            break;
        i += width;
    }
    return i;
}

} // namespace platform::gbk
