#include "support/Prerequisite.h"

#include <QStandardPaths>

namespace Prerequisite
{

bool required()
{
    return qEnvironmentVariable("QB_REQUIRE_PREREQUISITES") == QLatin1String("1");
}

QString program(const QString& name, const QString& package)
{
    if (!QStandardPaths::findExecutable(name).isEmpty())
        return {};
    return QStringLiteral("%1 (%2) is not installed").arg(name, package);
}

} // namespace Prerequisite
