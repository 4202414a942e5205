#pragma once

#include <QString>

namespace platform {

// The directory of the running executable, with a trailing '/'.
QString programDir();

// Points the program at another directory (tests use a temporary one).
// An empty string restores the executable's directory.
void setProgramDir(const QString& dir);

// How the program keeps its files, chosen at start from where it runs.
enum class FileMode {
    // The "database" folder beside the executable is writable (a build
    // folder, a folder unpacked by hand): every file stays there.
    Portable,
    // Installed under a prefix the user can't write: the shipped data is
    // read from share/quenlo, the user's own files live in the user's data
    // folder.
    Installed,
};

FileMode fileMode();

// The folder holding the read-only data ("database/", "Sound/"), with a
// trailing '/': the program directory when portable, else
// <prefix>/share/quenlo found relative to the executable.
QString shippedDataDir();

// The folder of the files that belong to the user (settings, library, learning
// record), with a trailing '/': "database/" beside the executable when
// portable, else the user's data folder (~/.local/share/quenlo/; on Windows
// %APPDATA%\Quenlo\).
QString userDataDir();

// The full path of a file of the user's own, given by its bare name
// ("record.sqlite"). The folder is not created.
QString userFilePath(QStringView name);

// The full path of a data file given relative to the program directory, as
// the program names it ("database\\ziku.txt"): backslashes become '/'.
// When installed, the settings file and the library resolve to the user's data
// folder; the first time, the shipped copy is copied there to start from.
// Everything else resolves to the shipped data.
QString dataPath(QStringView relative);

// Tests only: takes the installed layout with the given folders (both
// "" restores the choice made from the program directory).
void setInstalledLayout(const QString& shippedDir, const QString& userDir);

} // namespace platform
