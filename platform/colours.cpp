#include "platform/colours.h"

#include <QGuiApplication>
#include <QPalette>

namespace platform {

QColor systemColour(int number)
{
    const QPalette palette = QGuiApplication::palette();
    auto active = [&](QPalette::ColorRole role) { return palette.color(QPalette::Active, role); };
    auto inactive = [&](QPalette::ColorRole role) { return palette.color(QPalette::Inactive, role); };
    switch (number) {
    case 0:
        return active(QPalette::Button); // scroll bar
    case 1:
        return active(QPalette::Dark); // desktop background
    case 2:
        return active(QPalette::Highlight); // active caption
    case 3:
        return inactive(QPalette::Highlight); // inactive caption
    case 4:
        return active(QPalette::Window); // menu
    case 5:
        return active(QPalette::Base); // window
    case 6:
        return active(QPalette::Shadow); // window frame
    case 7:
        return active(QPalette::WindowText); // menu text
    case 8:
        return active(QPalette::Text); // window text
    case 9:
        return active(QPalette::HighlightedText); // caption text
    case 10:
        return active(QPalette::Window); // active border
    case 11:
        return inactive(QPalette::Window); // inactive border
    case 12:
        return active(QPalette::Mid); // application workspace
    case 13:
        return active(QPalette::Highlight); // highlight
    case 14:
        return active(QPalette::HighlightedText); // highlighted text
    case 15:
        return active(QPalette::Button); // button face
    case 16:
        return active(QPalette::Mid); // button shadow
    case 17:
        return palette.color(QPalette::Disabled, QPalette::Text); // grey text
    case 18:
        return active(QPalette::ButtonText); // button text
    case 19:
        return inactive(QPalette::HighlightedText); // inactive caption text
    case 20:
        return active(QPalette::Light); // button highlight
    case 21:
        return active(QPalette::Shadow); // 3-D dark shadow
    case 22:
        return active(QPalette::Midlight); // 3-D light
    case 23:
        return active(QPalette::ToolTipText); // info text
    case 24:
        return active(QPalette::ToolTipBase); // info background
    case 26:
        return active(QPalette::Link); // hot-tracked item
    case 27:
        return active(QPalette::Highlight); // active caption gradient
    case 28:
        return inactive(QPalette::Highlight); // inactive caption gradient
    case 29:
        return active(QPalette::Highlight); // menu highlight
    case 30:
        return active(QPalette::Window); // menu bar
    default:
        return QColor(Qt::black);
    }
}

} // namespace platform
