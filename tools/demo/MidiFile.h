#pragma once
// Standard MIDI File bytes for the demo riffs: format 1, a tempo track and one track of channel
// events. The sound engine only reads MIDI files, so the demo writes them itself.
#include <cstdint>
#include <vector>

namespace demo {

struct MidiEvent {
    std::uint32_t tick = 0;  // absolute
    std::uint8_t status = 0; // type | channel
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};

// Tempo (microseconds per quarter note) and 4/4 at tick 0 in the first track; the events, which
// must be in tick order, in the second. Notes and control changes only (two data bytes each).
[[nodiscard]] std::vector<std::uint8_t> StandardMidiFile(std::uint16_t division, std::uint32_t tempo,
                                                         const std::vector<MidiEvent>& events);

} // namespace demo
