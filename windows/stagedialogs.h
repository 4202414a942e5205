#pragma once

#include "stage/stagewindow.h"

// Where the windows are put together: the one place that knows the stage
// and every dialog, so that none of them includes another's header.
namespace windows {

// The stage menu's dialogs, each given what it needs from the stage: the
// stage as the window it opens over, the stage's redraw for the picker's
// jump, the learning record for the progress window.
stage::StageDialogs stageDialogs();

} // namespace windows
