#pragma once

// Lets GoogleTest print Qt's core values readably in failure messages;
// tests/support/guiprinters.h adds the GUI ones.
#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& texts, std::ostream* out)
{
    *out << '[';
    for (qsizetype i = 0; i < texts.size(); ++i)
        *out << (i ? ", " : "") << '"' << texts[i].toStdString() << '"';
    *out << ']';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << "bytes " << bytes.toHex(' ').toStdString();
}

inline void PrintTo(const QRect& rect, std::ostream* out)
{
    *out << '(' << rect.x() << ", " << rect.y() << ' ' << rect.width() << 'x' << rect.height() << ')';
}
