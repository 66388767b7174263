#pragma once
// The absolute tick of a meta record of a MIDI file; the base of the tempo, time-signature and
// key-signature records.
#include <cstdint>

struct TimeEvent {
    std::uint32_t tick = 0;
};
