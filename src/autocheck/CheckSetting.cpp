#include "autocheck/CheckSetting.h"

#include "core/SettingsStore.h"

#include <algorithm>

namespace CheckSetting
{

int secondsFromText(const QString& text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok || value <= 0)
        return 0;
    return int(std::clamp<qint64>(value, MinimumSeconds, qint64(MaximumMinutes) * 60));
}

int seconds(const SettingsStore& store)
{
    return secondsFromText(
        store.GetSetting(QStringLiteral("Check"), QStringLiteral("Seconds"), QStringLiteral("0")));
}

bool save(SettingsStore& store, int seconds)
{
    return store.SaveSetting(QStringLiteral("Check"), QStringLiteral("Seconds"),
                             QString::number(std::max(0, seconds)));
}

int minutesShown(int seconds)
{
    if (seconds <= 0)
        return DefaultMinutes;
    return std::clamp((seconds + 59) / 60, 1, MaximumMinutes);
}

} // namespace CheckSetting
