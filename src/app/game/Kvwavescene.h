#pragma once
// The program's sound output: the one global wave container and wave scene (defined with the
// scene, constructed before start-up, the container first, and destroyed after the message loop,
// the scene first) and their set-up at start-up.
//
// Thread: GUI thread.
#include "sound/TWaveContainer.h"
#include "sound/TWaveScene.h"

#include <cstdint>
#include <string>

// Sets the global scene to 44100 Hz, 16 bits, 2 channels with buffers of bufferMs milliseconds,
// output to wave-out device "0", and starts it. Any failure is shown in a message box as
// "InitKVWaveScene: " and the error's message, and the program ends (EndProgram, exit code 0).
// True when the scene runs; false only when a replaced end handler returned.
[[nodiscard]] bool InitKVWaveScene(std::uint32_t bufferMs);

// Whether the global scene holds an instance of that name; takes the scene's lock, as the
// writer's thread may change the instance list meanwhile.
[[nodiscard]] bool HasInstance(const std::string& name);
