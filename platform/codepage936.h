#pragma once

#include <QByteArray>
#include <QString>

// Windows code page 936 (GBK with the euro sign at 0x80), the encoding of
// the program's files, converted as a whole. Qt's own converter reaches it
// only through ICU, which a Qt for Windows is built without: there the
// system converts it (MultiByteToWideChar), as it has code page 936 always.
namespace platform::codepage936 {

// Decodes the bytes; a byte sequence that is no character of the code page
// becomes a replacement character. Takes whole characters: what a lead byte
// at the very end becomes is left to the converter.
QString decode(QByteArrayView bytes);

struct Encoded {
    QByteArray bytes;
    // False when some character has no form in the code page: a '?'
    // stands in its place (never a look-alike).
    bool complete = true;
};

Encoded encode(QStringView text);

} // namespace platform::codepage936
