#pragma once
// A key-signature meta record, its two data bytes as stored: sharps (positive) or flats
// (negative) and 0 for major, 1 for minor.
#include "sound/midi/TimeEvent.h"

struct KeySigEvent : TimeEvent {
    std::int8_t sharpsFlats = 0;
    std::uint8_t minor = 0;
};
