#pragma once
// The one application object that Qt needs before windows, fonts or posted messages work.
// The program creates it in main(); code that can run without it (tests, tools) calls this first.
#include <string>

// Creates the widget application object when none exists yet (GUI thread). Without a display it
// selects the offscreen platform rather than aborting. The object it creates carries the
// program's version, as StampProgramVersion gives it, hands the keyboard back when a window
// closes (TFocusReturn.h) and tells a window when it takes the keyboard (KeyboardTaken.h).
void EnsureApplication();

// Gives the existing application object the program's version (GUI thread; nothing without one).
void StampProgramVersion();

// The version the program was built with, as the build states it ("2.0"); never empty.
[[nodiscard]] std::string ProgramVersion();

// The application's settings for the controls' fly-by hints, in milliseconds. A control's hint
// shows once the pointer has rested on it for HintPause (HintShortPause when another hint is
// showing) and hides after HintHidePause. Values below 0 count as 0. GUI thread only.
class TApplication {
public:
    [[nodiscard]] int HintPause() const { return hintPause_; }
    void SetHintPause(int milliseconds);
    [[nodiscard]] int HintShortPause() const { return hintShortPause_; }
    void SetHintShortPause(int milliseconds);
    [[nodiscard]] int HintHidePause() const { return hintHidePause_; }
    void SetHintHidePause(int milliseconds);
    // The pause a hint waits now: HintShortPause while another hint shows, else HintPause.
    [[nodiscard]] int NextHintPause() const;

private:
    int hintPause_ = 500;
    int hintShortPause_ = 50;
    int hintHidePause_ = 2500;
};

// The program's one application settings object; it lives as long as the process.
[[nodiscard]] TApplication& Application();
