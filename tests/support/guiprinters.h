#pragma once

// Lets GoogleTest print Qt's GUI values readably in failure messages.
#include "tests/support/printers.h"

#include <QColor>
#include <QRegion>

#include <ostream>

inline void PrintTo(const QColor& colour, std::ostream* out)
{
    *out << colour.name().toStdString();
}

inline void PrintTo(const QRegion& region, std::ostream* out)
{
    *out << "region of " << region.rectCount() << " rects, bounds ";
    PrintTo(region.boundingRect(), out);
}
