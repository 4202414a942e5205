#include "core/csv.h"

namespace core::csv {

QString field(const QString& text)
{
    const bool needsQuotes = text.contains(u',') || text.contains(u'"') || text.contains(u'\n')
                             || text.contains(u'\r');
    if (!needsQuotes)
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString row(const QStringList& fields)
{
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& text : fields)
        quoted.append(field(text));
    return quoted.join(u',') + QStringLiteral("\r\n");
}

} // namespace core::csv
