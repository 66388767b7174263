#pragma once
// A time-signature meta record, its four data bytes as stored: numerator, denominator as a power
// of two, MIDI clocks per metronome click, 32nd notes per quarter note.
#include "sound/midi/TimeEvent.h"

struct TimeSigEvent : TimeEvent {
    std::uint8_t numerator = 0;
    std::uint8_t denominatorPower = 0;
    std::uint8_t clocksPerClick = 0;
    std::uint8_t notes32PerQuarter = 0;
};
