#pragma once

#include <QSize>

namespace platform {

// The dialogs are designed by their outer size, frame included, under the
// classic dialog frame: a 4-pixel border on every side and a 19-pixel
// caption. Qt sizes the client area and lets the window manager add its own
// frame, so every dialog takes its client size from this one rule.
inline constexpr int kDialogBorder = 4;
inline constexpr int kDialogCaption = 19;

constexpr QSize dialogClientSize(QSize outer)
{
    return QSize(outer.width() - 2 * kDialogBorder, outer.height() - 2 * kDialogBorder - kDialogCaption);
}

} // namespace platform
