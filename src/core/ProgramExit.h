#pragma once
// The end of the process. SaveDebugLogAndExit is the one orderly way out; it
// runs the registered clean-ups (the tray icon is taken out of the
// notification area) and then ends the process at once, so no window's close
// handler runs afterwards. Tests replace the final step.

#include <functional>

namespace ProgramExit
{

// Runs once, in order of registration, just before the process ends.
void addCleanup(std::function<void()> cleanup);

// The final step; by default it ends the process with exit code 0 without
// running any further handler.
void setTerminator(std::function<void()> terminator);

// Runs the clean-ups and the terminator. Only the first call does anything.
void end();
bool ending();

// Tests only: forget that end() ran, drop clean-ups, restore the terminator.
void resetForTest();

} // namespace ProgramExit
