#pragma once
// Ending the program at once when it cannot go on (the sound output or the skin cannot be set
// up, a game mode cannot load), in order: the steps the program registered run first (newest
// first; the main window registers the stop of its MIDI player's clock), then the global wave
// scene stops and its writer's thread is joined and the device closed, and the process exits
// with the code given; static objects are destroyed on the way out, the timer service joining its
// thread.
//
// Thread: GUI thread. Nothing here throws; a step that throws is skipped.
#include <functional>

// Ends the program through the handler in force. Returns only when a replaced handler returns
// (tests); the default handler never returns.
void EndProgram(int exitCode);
// The default handler described above.
[[noreturn]] void EndProgramOrderly(int exitCode);

// Replaces what EndProgram does (null: the default); returns the handler in force before.
using TProgramEndHandler = std::function<void(int exitCode)>;
TProgramEndHandler SetProgramEndHandler(TProgramEndHandler handler);

// Registers a step for the orderly end; returns an id for RemoveProgramEndStep.
[[nodiscard]] int AddProgramEndStep(std::function<void()> step);
void RemoveProgramEndStep(int id);
