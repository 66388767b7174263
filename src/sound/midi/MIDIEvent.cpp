#include "sound/midi/MIDIEvent.h"

void MIDIEvent::InitControlChange(std::uint32_t tick, std::uint8_t channel, std::uint8_t controller,
                                  std::uint8_t value)
{
    tick_ = tick;
    status_ = static_cast<std::uint8_t>(0xB0 | (channel & 0x0F));
    data1_ = controller;
    data2_ = value;
}

bool MIDIEventLess(const MIDIEvent& a, const MIDIEvent& b)
{
    if (a.GetTick() != b.GetTick())
        return a.GetTick() < b.GetTick();
    // The key channel * 0.01 + (control change ? 0.001 : 0), kept exact in integers.
    auto key = [](const MIDIEvent& e) { return e.GetChannel() * 10 + (e.GetType() == 0xB0 ? 1 : 0); };
    return key(a) < key(b);
}
