#include "settings/integertext.h"

#include "platform/error.h"
#include "platform/gbk.h"

#include <limits>

namespace settings {

namespace {

bool isDecimalDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::optional<unsigned> hexDigitValue(char c)
{
    if (isDecimalDigit(c))
        return unsigned(c - '0');
    if (c >= 'A' && c <= 'F')
        return unsigned(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return unsigned(c - 'a' + 10);
    return std::nullopt;
}

// The length of a hexadecimal prefix at the start of `text`, or 0.
qsizetype hexPrefixLength(QByteArrayView text)
{
    if (text.startsWith('$') || text.startsWith('x') || text.startsWith('X'))
        return 1;
    if (text.startsWith("0x") || text.startsWith("0X"))
        return 2;
    return 0;
}

// Hexadecimal digits as 32 raw bits; leading zeros are free, but no more
// than eight significant digits fit.
std::optional<quint32> parseHexBits(QByteArrayView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    quint32 bits = 0;
    int significantDigits = 0;
    for (char c : digits) {
        const std::optional<unsigned> digit = hexDigitValue(c);
        if (!digit)
            return std::nullopt;
        if (bits != 0 || *digit != 0)
            ++significantDigits;
        if (significantDigits > 8)
            return std::nullopt;
        bits = (bits << 4) | *digit;
    }
    return bits;
}

// Decimal digits as a magnitude, as long as it stays within `limit`.
std::optional<quint32> parseDecimalMagnitude(QByteArrayView digits, quint32 limit)
{
    if (digits.isEmpty())
        return std::nullopt;
    quint64 magnitude = 0;
    for (char c : digits) {
        if (!isDecimalDigit(c))
            return std::nullopt;
        magnitude = magnitude * 10 + quint64(c - '0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return quint32(magnitude);
}

} // namespace

std::optional<qint32> parseInteger(QByteArrayView text)
{
    while (text.startsWith(' '))
        text = text.sliced(1);
    const bool negative = text.startsWith('-');
    if (negative || text.startsWith('+'))
        text = text.sliced(1);

    // All arithmetic is on unsigned 32-bit values, where negation wraps;
    // the conversion to qint32 then reads the bits as two's complement.
    if (const qsizetype prefix = hexPrefixLength(text)) {
        const std::optional<quint32> bits = parseHexBits(text.sliced(prefix));
        if (!bits)
            return std::nullopt;
        return qint32(negative ? 0u - *bits : *bits);
    }
    const quint32 limit = negative ? 2147483648u : 2147483647u;
    const std::optional<quint32> magnitude = parseDecimalMagnitude(text, limit);
    if (!magnitude)
        return std::nullopt;
    return qint32(negative ? 0u - *magnitude : *magnitude);
}

qint32 toInteger(QByteArrayView text)
{
    if (const std::optional<qint32> value = parseInteger(text))
        return *value;
    throw platform::Error(
        QStringLiteral("'%1' is not a valid integer value").arg(platform::gbk::decode(text)));
}

QByteArray integerText(qint32 value)
{
    return QByteArray::number(value);
}

} // namespace settings
