#pragma once

#include <QStringList>

namespace platform {

// The installed font families, each once, with "Default", sorted by the
// user's collation without regard to case. Gathered on first use and again
// after the system announces a change of the installed fonts.
const QStringList& fontFamilies();

// The faces that can draw the common Chinese characters, as fontFamilies()
// lists them, with the data's own Kai face first whether it is installed or
// stands in for by another face.
QStringList chineseFontFamilies();

// The Kai face that the program's data and shipped settings name (华文楷体).
QString shippedFaceName();

// Makes the face names that the program's data and dialogs use resolve on
// this desktop: the Kai faces map onto an installed Kai face when they are
// missing, and "MS Sans Serif" onto the system's default sans face.
// Call once after the application object exists.
void installFontSubstitutions();

// Whether `family` is one of the Kai face names of the program's data that
// this desktop lacks and installFontSubstitutions has an installed face
// stand in for. Cheap enough for every step of the stage.
bool standsInForNamedKaiFace(const QString& family);

// The face that stands for "Default" (in any letter case) in the settings.
QString defaultFaceName();

} // namespace platform
