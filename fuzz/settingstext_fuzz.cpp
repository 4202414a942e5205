// Integer and colour text, against a plain reading of the integer syntax:
// leading spaces, one optional sign, then decimal digits within the 32-bit
// range or hexadecimal digits after "$", "x", "X", "0x" or "0X" that fit in
// 32 bits; nothing after. Every integer and colour written reads back.
#include "fuzz/fuzzcheck.h"
#include "platform/error.h"
#include "settings/colourtext.h"
#include "settings/integertext.h"

#include <QByteArray>

#include <cstring>
#include <optional>

namespace {

int digitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

std::optional<qint32> referenceInteger(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const QByteArrayView rest = text.sliced(i);
    int base = 10;
    qsizetype digitsFrom = 0;
    if (rest.startsWith("0x") || rest.startsWith("0X")) {
        base = 16;
        digitsFrom = 2;
    } else if (rest.startsWith("$") || rest.startsWith("x") || rest.startsWith("X")) {
        base = 16;
        digitsFrom = 1;
    }
    const QByteArrayView digits = rest.sliced(digitsFrom);
    if (digits.isEmpty())
        return std::nullopt;
    quint64 magnitude = 0;
    for (char c : digits) {
        const int value = digitValue(c, base);
        if (value < 0)
            return std::nullopt;
        magnitude = magnitude * quint64(base) + quint64(value);
        if (magnitude > 0xFFFFFFFFULL)
            return std::nullopt;
    }
    if (base == 16) {
        const quint32 bits = quint32(magnitude);
        return negative ? qint32(0u - bits) : qint32(bits);
    }
    const qint64 value = negative ? -qint64(magnitude) : qint64(magnitude);
    if (value < -2147483648LL || value > 2147483647LL)
        return std::nullopt;
    return qint32(value);
}

std::optional<settings::Colour> namedColour(QByteArrayView text)
{
    for (const settings::ColourName& entry : settings::colourNames()) {
        if (text.compare(QByteArrayView(entry.name), Qt::CaseInsensitive) == 0)
            return entry.value;
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char*>(data), qsizetype(size));

    const std::optional<qint32> parsed = settings::parseInteger(text);
    FUZZ_CHECK(parsed == referenceInteger(text));

    std::optional<settings::Colour> colour;
    try {
        colour = settings::textToColour(text);
    } catch (const platform::Error&) {
    }
    std::optional<settings::Colour> expected = namedColour(text);
    if (!expected && parsed)
        expected = settings::Colour(*parsed);
    FUZZ_CHECK(colour == expected);

    if (size >= 4) {
        qint32 value = 0;
        std::memcpy(&value, data, sizeof value);
        FUZZ_CHECK(settings::parseInteger(settings::integerText(value)) == value);
        const settings::Colour any = settings::Colour(value);
        FUZZ_CHECK(settings::textToColour(settings::colourToText(any)) == any);
    }
    return 0;
}
