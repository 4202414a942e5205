#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Text of the program's files and entries is GBK (code page 936) bytes.
// These convert between those bytes and the QString that widgets show.
namespace platform::gbk {

// Decodes GBK bytes for display. Byte sequences that are not GBK come out as
// replacement characters; decoding never fails. Text holding a foreign run
// (see below) decodes as empty: it can't be shown faithfully, and the stage
// shows its placeholder mark for an empty entry rather than garbage.
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

// A character that GBK can't hold, read from a file in another encoding, is
// kept inside GBK text as a foreign run: kForeignMark, the file's bytes as
// upper-case hex digits, kForeignMark. 0xFF is no GBK character here (the
// code page's one-byte U+F8F5 is refused, so it travels as a run) and the run
// between the marks is plain ASCII, so GBK-aware scanning keeps in step, and
// writing the text back to its file restores the original bytes.
inline constexpr char kForeignMark = '\xFF';

QByteArray foreignRun(QByteArrayView original);

struct ForeignRun {
    QByteArray original; // the file's bytes
    qsizetype end = 0;   // the position after the closing mark
};

// The well-formed foreign run that starts at `at`, if any.
std::optional<ForeignRun> foreignRunAt(QByteArrayView text, qsizetype at);

bool holdsForeignRun(QByteArrayView text);

// True for a byte that starts a double-byte GBK character.
constexpr bool isLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

} // namespace platform::gbk
