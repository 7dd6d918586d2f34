#pragma once
// The automatic check's interval in the settings store: section "Check", key
// "Seconds", 0 or absent meaning off. The Options window shows minutes; a
// stored value from 30 seconds up is honoured as it stands.

#include <QString>

class SettingsStore;

namespace CheckSetting
{
constexpr int MinimumSeconds = 30;
constexpr int DefaultMinutes = 10;
constexpr int MaximumMinutes = 1440;

// 0 for off, absent or unreadable; otherwise at least MinimumSeconds.
int seconds(const SettingsStore& store);
int secondsFromText(const QString& text);
bool save(SettingsStore& store, int seconds);
// What the minutes box shows for a stored interval.
int minutesShown(int seconds);
} // namespace CheckSetting
