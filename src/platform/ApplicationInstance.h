#pragma once
// The one application object that Qt needs before windows, fonts or posted messages work.
// The program creates it in main(); code that can run without it (tests, tools) calls this first.

// Creates the widget application object when none exists yet (GUI thread). Without a display it
// selects the offscreen platform rather than aborting.
void EnsureApplication();
