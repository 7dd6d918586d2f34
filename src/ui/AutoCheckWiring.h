#pragma once
// The automatic check of the running program, joined to the windows: its
// new mail goes into the mailbox list and slides the window in, its state
// into the tray icon's tooltip, its notices to the desktop.

class AutoCheck;

namespace Module1
{
// Created and joined on first use.
AutoCheck& TheAutoCheck();
// At start-up: the stored interval into Options and into the check.
void StartAutoCheck();
// After OK: the account and the interval as they now are.
void ApplyAutoCheckSetting(int seconds);
// A session from the menu starts: a running check ends.
void EndAutoCheck();
} // namespace Module1
