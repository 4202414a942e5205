#pragma once

#include <QString>

// A file of the source tree (the shipped data, test data), by its path
// relative to the tree's root.
inline QString sourcePath(const char* relative)
{
    return QStringLiteral(QUENLO_SOURCE_DIR "/") + QString::fromUtf8(relative);
}
