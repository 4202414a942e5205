#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Text of the program's files and entries is GBK (code page 936) bytes.
// These convert between those bytes and the QString that widgets show.
namespace platform::gbk {

// Decodes GBK bytes for display. Byte sequences that are not GBK come out as
// replacement characters; decoding never fails.
QString decode(QByteArrayView bytes);

// Encodes text as GBK. Returns nothing when any character has no GBK form:
// such text must be refused, never stored with a substitute character.
std::optional<QByteArray> encode(QStringView text);

// Encodes text known to be GBK-safe (the program's own captions and keys).
// Characters without a GBK form would become '?', so use this only for
// literal text of the program.
QByteArray encodeLiteral(QStringView text);

// Returns the first character that has no GBK form, if any.
std::optional<QString> firstUnencodable(QStringView text);

// Length of the longest prefix of `bytes` that holds at most `limit` bytes
// and does not end in the lead byte of a double-byte character.
qsizetype prefixLength(QByteArrayView bytes, qsizetype limit);

// True for a byte that starts a double-byte GBK character.
constexpr bool isLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

} // namespace platform::gbk
