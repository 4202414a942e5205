#pragma once

#include "settings/settingsfile.h"
#include "settings/stagesettings.h"

namespace settings {

// The class of each size key "1" to "5" and position keys "x1"/"y1" ...
// (One 1, Two 2, Three 3, Many 4, Four 5).
const char* sizeKey(WordClass c);
const char* xKey(WordClass c);
const char* yKey(WordClass c);

// The settings every key falls back to when the file lacks it: entries
// centred.
StageSettings defaultStageSettings();

// The positions that a settings file written before entries were centred
// falls back to for a key it lacks: top-left corners of the text.
std::array<Position, kWordClassCount> topLeftDefaultPositions();

// What the file's positions mean: offsets from the centre when the file says
// so ("jz" = 1) or holds no position at all; top-left corners when it holds
// positions written before entries were centred, or says "jz" = 0.
Placement storedPlacement(const SettingsFile& file);

// The start-up read: the start position into `deckCursor`, then sizes,
// positions, face, single colour and colour mode into `settings`, each
// assigned as soon as it is read. A "danyi" text that is not a colour throws
// the conversion error; what was read before it stays assigned and the colour
// mode is not read.
void readStartupSettings(const SettingsFile& file, qint32& deckCursor, StageSettings& settings);

// The display settings alone (sizes, positions, face, single colour, colour
// mode), read as the start-up read reads them: for a start without the
// library, whose start position means nothing to the built-in list.
void readDisplaySettings(const SettingsFile& file, StageSettings& settings);

// Writes the face, the five sizes and the ten positions, in the order of the
// display settings dialog's "save", then what the positions mean, the
// outline switch and the backdrop's colour. Throws at the first failed write.
void writeDisplaySettings(SettingsFile& file, const StageSettings& settings);

// Writes whether a right answer sets off the stars: a key of its own,
// written as soon as the check box changes.
void writeStarBurst(SettingsFile& file, bool on);

} // namespace settings
