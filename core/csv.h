#pragma once

#include <QString>
#include <QStringList>

namespace core::csv {

// One field quoted as RFC 4180 asks: in double quotes, with its quotes
// doubled, when it holds a comma, a quote or a line break.
QString field(const QString& text);

// One record: the fields joined by commas, ended by CR LF.
QString row(const QStringList& fields);

} // namespace core::csv
