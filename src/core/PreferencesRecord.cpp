#include "core/PreferencesRecord.h"

namespace PreferencesRecord
{

QStringList split(const QString& record)
{
    QStringList fields;
    if (record.isEmpty())
        return fields;
    qsizetype start = 0;
    while (fields.size() < 3) {
        const qsizetype comma = record.indexOf(QLatin1Char(','), start);
        if (comma < 0)
            break;
        fields << record.mid(start, comma - start);
        start = comma + 1;
    }
    fields << record.mid(start);
    return fields;
}

QString join(const QString& server, const QString& userName, const QString& storedPassword)
{
    return server + QLatin1Char(',') + QLatin1String(PortField) + QLatin1Char(',') + userName +
           QLatin1Char(',') + storedPassword;
}

} // namespace PreferencesRecord
