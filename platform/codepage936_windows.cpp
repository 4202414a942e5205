#include "platform/codepage936.h"

#include <windows.h>

#include <optional>

namespace platform::codepage936 {

namespace {

constexpr UINT kCodePage = 936;

bool isLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}
bool isTrailByte(unsigned char byte)
{
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// The characters of `bytes`: with `strictly`, nothing when they hold a
// sequence that is no character of the code page.
std::optional<QString> convert(QByteArrayView bytes, bool strictly)
{
    if (bytes.isEmpty())
        return QString();
    const DWORD flags = strictly ? MB_ERR_INVALID_CHARS : 0;
    const int size = MultiByteToWideChar(kCodePage, flags, bytes.data(), int(bytes.size()), nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(kCodePage, flags, bytes.data(), int(bytes.size()),
                        reinterpret_cast<wchar_t*>(text.data()), size);
    return text;
}

// Character by character, as ICU reads broken text: a lead byte and a trail
// byte that make no character are one replacement character; a lead byte
// without a trail byte is one, and what follows it is read afresh. Every
// single byte that is no lead byte is a character (0x80 the euro sign, 0xFF
// U+F8F5), though Wine's strict conversion refuses 0xFF.
QString decodeCharacterByCharacter(QByteArrayView bytes)
{
    const QString replacement(QChar::ReplacementCharacter);
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!isLeadByte(byte)) {
            text += convert(bytes.sliced(i, 1), false).value_or(replacement);
            ++i;
        } else if (i + 1 < bytes.size() && isTrailByte(static_cast<unsigned char>(bytes[i + 1]))) {
            text += convert(bytes.sliced(i, 2), true).value_or(replacement);
            i += 2;
        } else {
            text += replacement;
            ++i;
        }
    }
    return text;
}

} // namespace

QString decode(QByteArrayView bytes)
{
    if (std::optional<QString> text = convert(bytes, true))
        return *text;
    return decodeCharacterByCharacter(bytes);
}

Encoded encode(QStringView text)
{
    Encoded encoded;
    if (text.isEmpty())
        return encoded;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    // No best fit: a character without a form of its own is missing, not
    // replaced by a look-alike.
    const int size = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0) {
        encoded.complete = false;
        return encoded;
    }
    encoded.bytes.resize(size);
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, int(text.size()), encoded.bytes.data(), size,
                        nullptr, &usedDefault);
    encoded.complete = !usedDefault;
    return encoded;
}

} // namespace platform::codepage936
