#pragma once

#include <QByteArray>

#include <optional>

namespace settings {

// Reads an integer: leading spaces (0x20 only), an optional sign, then
// decimal digits within the 32-bit range, or hexadecimal digits after "$",
// "x", "X", "0x" or "0X" that fit in 32 bits (taken as two's complement, so
// $FFFFFFFF is -1). Nothing may follow the digits. Nothing for a malformed text.
std::optional<qint32> parseInteger(QByteArrayView text);

// parseInteger that throws platform::Error("'<text>' is not a valid integer value").
qint32 toInteger(QByteArrayView text);

// Plain decimal: "-" for a negative value, no "+", blanks or leading zeros.
QByteArray integerText(qint32 value);

} // namespace settings
