#pragma once

#include "settings/stagesettings.h"

#include <QByteArray>
#include <QColor>

#include <optional>
#include <span>

namespace settings {

struct ColourName {
    const char* name;
    Colour value;
};

// The 52 named colours: twenty plain colours, "clNone", "clDefault" and thirty
// system colours (0xFF000000 + the system colour number).
std::span<const ColourName> colourNames();

// The table's name for the colour, else "$" and eight uppercase hex digits.
QByteArray colourToText(Colour colour);

// A table name (ASCII letter case ignored, no blanks trimmed), else the
// integer syntax. Throws platform::Error("'<text>' is not a valid integer value").
Colour textToColour(QByteArrayView text);

// The colour to paint for a colour value: system colours resolve to the
// desktop's current colours. "clNone" and "clDefault" give nothing.
std::optional<QColor> toQColor(Colour colour);

// The plain colour value of a colour the user chose.
Colour fromQColor(const QColor& colour);

} // namespace settings
