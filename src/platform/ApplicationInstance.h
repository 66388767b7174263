#pragma once
// The one application object that Qt needs before windows, fonts or posted messages work.
// The program creates it in main(); code that can run without it (tests, tools) calls this first.
#include <string>

// Creates the widget application object when none exists yet (GUI thread). Without a display it
// selects the offscreen platform rather than aborting. The object it creates carries the
// program's version, as StampProgramVersion gives it.
void EnsureApplication();

// Gives the existing application object the program's version (GUI thread; nothing without one).
void StampProgramVersion();

// The version the program was built with, as the build states it ("2.0"); never empty.
[[nodiscard]] std::string ProgramVersion();
