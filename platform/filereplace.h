#pragma once

#include "platform/files.h"

#include <optional>

// How replaceFile puts new contents in place, as each system allows: POSIX
// calls on Linux (filereplace_posix.cpp), Win32 calls on Windows
// (filereplace_windows.cpp).
namespace platform {

// The C library's words for an errno value.
QString systemReason(int error);
WriteResult failure(int error);

namespace filereplace {

// The usual way: the bytes go to a temporary file beside `path` that is
// flushed to disk and then renamed over the old file, which stays whole
// until that rename. Gives nothing when the folder refuses the temporary
// file, so that the caller may write in place instead.
std::optional<WriteResult> replaceThroughTemporary(const QString& path, const QByteArray& bytes);

// For a folder that takes no new file: the file is written where it is. The
// room for the new contents is claimed before any byte changes, so a full
// disk leaves the old file as it was.
WriteResult writeInPlace(const QString& path, const QByteArray& bytes);

} // namespace filereplace
} // namespace platform
