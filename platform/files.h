#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Reads a whole file. Throws Error("Cannot open file \"<path>\". <reason>").
QByteArray readWholeFile(const QString& path);

// The outcome of a write: empty on success, else the system's reason.
struct WriteResult {
    QString failureReason;
    bool ok() const { return failureReason.isNull(); }
};

// Replaces the file's contents with `bytes` so that the file is never seen
// half-written: the bytes go to a temporary file in the same folder, which is
// flushed to disk and renamed over the old file. When the folder refuses new
// files but the file itself may be written, it is written in place instead.
// A file without its owner's write permission is refused as read-only, even
// for a user (root) whom the system would let write it.
WriteResult replaceFile(const QString& path, const QByteArray& bytes);

// replaceFile that throws Error("Cannot create file \"<path>\". <reason>").
void replaceFileOrThrow(const QString& path, const QByteArray& bytes);

} // namespace platform
