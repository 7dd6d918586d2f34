#pragma once
// Start-up: Main runs four steps in order; an error in one step ends that step
// silently and the next one still runs.

#include <functional>
#include <initializer_list>

class QApplication;

namespace Module1
{

void ConfigureApplication(QApplication& app);

void Main();

// Runs each step; a step that throws is abandoned silently.
void RunStartupSteps(std::initializer_list<std::function<void()>> steps);

void LoadSettings();      // step 1
void DecodePassword();    // step 2: unscrambles MailPassword in place
void DecodeRound();       // one decoding pass over MailPassword
void StartTray();         // step 3
void LoadSplashSetting(); // step 4

// A second start of the program asked for it: Options, shown and raised.
void ShowOptionsAgain();

} // namespace Module1
