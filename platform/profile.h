#pragma once

#include "platform/files.h"

#include <QByteArray>
#include <QString>

// Private-profile (INI) files, read and written the way the classic desktop
// services do, so that a file written by hand or by another tool reads the
// same. Section names, keys and values are GBK bytes.
//
// Reading: section and key names match without regard to ASCII letter case
// (double-byte characters compare exactly; the scan is GBK-aware, since a
// trail byte may be an ASCII letter or ']'); blanks and tabs around names and
// values are trimmed; one pair of matching quotes around a value is removed;
// lines whose first non-blank character is ';' are comments; a section name
// ends at its first ']'; the first copy of a section or key wins; CR, LF and
// CR LF all end lines; keys before the first section are ignored.
//
// Writing changes only the line of its key and keeps every other byte of the
// file; a new key goes after the last key of its section, a new section at the
// end of the file (after a line end if the file lacks one), and a new file is
// "[section]" CR LF "key=value" CR LF. The file is replaced atomically.
//
// A file in UTF-8, with or without a byte-order mark, is read as its GBK form
// and written back in UTF-8, its mark kept (platform/textencoding.h); a new
// file is GBK. A write always reads back as written: where the file's own
// encoding would be read otherwise afterwards, the file gets a UTF-8
// byte-order mark, and bytes that are no GBK character are refused for a
// UTF-8 file, which can't hold them.
namespace platform::profile {

// The size of the reading buffer: a longer value reads as its first
// kBufferSize - 1 bytes, never cutting a double-byte character in half.
inline constexpr qsizetype kBufferSize = 2048;

// The value of `key` in `section`, or `defaultValue` when the file, the
// section or the key is missing. An empty value gives an empty result.
QByteArray readString(const QString& path, QByteArrayView section, QByteArrayView key,
                      QByteArrayView defaultValue);

// Stores key=value in the section, creating the key, the section or the file
// as needed. When the file cannot be written, returns the system's reason
// (or why the text can't go into the file); the old file is then whole.
WriteResult writeString(const QString& path, QByteArrayView section, QByteArrayView key,
                        QByteArrayView value);

} // namespace platform::profile
