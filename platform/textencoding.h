#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The program's text files (the library, the decks, the settings file) are
// GBK, but a parent may save one from a modern editor in UTF-8, with or
// without a byte-order mark. These tell which a file is, turn its text into
// the GBK the program works in, and turn GBK text back into the file's own
// encoding. A file read and written back keeps every byte that was not
// edited: a character GBK can't hold, and bytes that are not UTF-8, travel
// through the GBK text as foreign runs (platform/gbk.h).
namespace platform::textencoding {

enum class Encoding { Gbk, Utf8, Utf8WithBom };

// How a file's bytes are to be read:
// - a UTF-8 byte-order mark means UTF-8;
// - text that is not valid UTF-8, or is plain ASCII, is GBK;
// - valid UTF-8 that is not valid GBK is UTF-8;
// - text valid both ways (short GBK text often is valid UTF-8 by chance) goes
//   to the reading with the larger share of common Chinese characters (the
//   basic hanzi, Chinese punctuation, full-width forms); on an equal share,
//   to the charset detector's verdict; without one, to GBK, the program's
//   own format.
Encoding detect(QByteArrayView bytes);

struct Text {
    QByteArray gbk;
    Encoding encoding = Encoding::Gbk;
};

// The file's text as GBK, with the encoding it was found in. GBK text is
// handed on as it is, without a copy.
Text fromFileBytes(QByteArray bytes);

// Text in `encoding` as GBK: the byte-order mark dropped, line ends kept.
QByteArray toGbk(QByteArrayView bytes, Encoding encoding);

// GBK text in `encoding`, foreign runs restored to their bytes.
QByteArray toFileBytes(QByteArrayView gbk, Encoding encoding);

// GBK text as the person who wrote its file reads it: foreign runs (which
// come from UTF-8 files) as the characters they hold.
QString displayText(QByteArrayView gbk);

// The encoding to write `gbk` in over a file found in `existing`: the file's
// own, except that GBK can't keep foreign runs, so such text goes as UTF-8.
Encoding encodingToWrite(Encoding existing, QByteArrayView gbk);

// The file's bytes for `gbk` written over a file found in `existing`, in the
// first encoding whose bytes read back as this very text: encodingToWrite's,
// else the file's own (a GBK file's bytes that look like a foreign run are
// its own, not a character to restore), else UTF-8 with a byte-order mark
// (without a mark the guess may take the new text for GBK, or GBK text for
// UTF-8). Nothing when none does: bytes that are no GBK character can't go
// into UTF-8.
std::optional<QByteArray> fileBytesReadingBackAs(const QByteArray& gbk, Encoding existing);

// Why fileBytesReadingBackAs gave nothing, for the error.
QString textNotStorableReason();

} // namespace platform::textencoding
