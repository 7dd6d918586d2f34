#pragma once
// The slide of the popups: 25-twip steps upwards with a 20 ms pause after
// each, blocking the thread. No event is handled while it runs; each step is
// pushed to the display on its own so the movement can be seen.

#include <functional>

class QWidget;

namespace SlideIn
{

inline constexpr float StepTwips = 25;
inline constexpr int PauseMs = 20;

// While top() is greater than target(): setTop(top() - 25), then pause.
// Both are read afresh for every test. Returns the number of steps made.
int stepUp(const std::function<float()>& top, const std::function<void(float)>& setTop,
           const std::function<float()>& target);

// Moves a shown window to its new place on the display at once: repaints it
// and flushes the connection to the window system, without handling events.
void pushToScreen(QWidget* window);

// Tests only: a shorter pause (0 for none).
void setPauseForTest(int ms);
int pause();

} // namespace SlideIn
