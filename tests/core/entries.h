#pragma once

#include <QByteArray>

// The n-th common GBK character (level-1 hanzi, rows 0xB0 to 0xD6), n < 3666.
inline QByteArray twoByteEntry(int n)
{
    QByteArray entry;
    entry.append(static_cast<char>(0xB0 + n / 94));
    entry.append(static_cast<char>(0xA1 + n % 94));
    return entry;
}
