#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace stage {

// Whether an installed face can draw the entries' characters: one of the
// Kai faces the data names, or any face that writes Simplified Chinese.
// Without one, every entry is drawn as hollow boxes.
bool hasChineseFace();

// What to tell the user when no installed face can draw Chinese, naming the
// packages that bring one; nothing when a face is there.
std::optional<QString> missingChineseFaceNotice();

// Shows the notice in a plain message box over `parent` when no face can
// draw Chinese. The program calls it once per start: the lack lasts until
// the user installs a face, so each start says why the stage shows boxes.
void tellIfNoChineseFace(QWidget* parent);

} // namespace stage
