#pragma once

#include "stage/stagewindow.h"

// Where the windows are put together: the one place that knows the stage
// and every dialog, so that none of them includes another's header.
namespace windows {

// The stage menu's dialogs, each given only what it edits of the stage's
// state, its result taken back here: the display settings get a copy of the
// settings and the settings file, and each change is put in force; the
// library editor gets the library's path, and the library is read again as
// it closes; the picker gets the deck and the cursor, and the stage jumps to
// the chosen entry and draws it; the progress window gets the record.
stage::StageDialogs stageDialogs();

} // namespace windows
