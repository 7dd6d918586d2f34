#pragma once
// Test isolation: settings go to a private folder, the orderly exit does not
// end the test process, and every default window starts afresh.

#include <QString>

namespace TestEnvironment
{

// Call from initTestCase(): QStandardPaths test mode, a fresh config folder,
// and an exit that only counts.
void isolate();

// How often the orderly exit ended the "program" since the last reset.
int exitCount();
void resetExit();

// Drops every default window instance and empties the program-wide state.
void resetWindows();

// A new "run": fresh windows and state, an exit that has not happened yet,
// and no settings stored for this program.
void startAfresh();

} // namespace TestEnvironment
