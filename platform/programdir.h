#pragma once

#include <QString>

namespace platform {

// The directory of the running executable, with a trailing '/'.
QString programDir();

// Points the program at another directory (tests use a temporary one).
// An empty string restores the executable's directory.
void setProgramDir(const QString& dir);

// The full path of a data file given relative to the program directory, as
// the program names it ("database\\ziku.txt"): backslashes become '/'.
QString dataPath(QStringView relative);

} // namespace platform
