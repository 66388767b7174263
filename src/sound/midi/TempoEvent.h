#pragma once
// A tempo meta record: microseconds per quarter note from its tick on (24 bits held in 32).
#include "sound/midi/TimeEvent.h"

struct TempoEvent : TimeEvent {
    std::uint32_t tempo = 0;
};
