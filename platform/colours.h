#pragma once

#include <QColor>

namespace platform {

// The current colour of a system colour of the desktop, by its classic
// system colour number (0 scroll bar ... 30 menu bar), taken from the
// application's palette. Unknown numbers give black.
QColor systemColour(int number);

} // namespace platform
