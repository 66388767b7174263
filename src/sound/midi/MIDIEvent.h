#pragma once
// One channel event of a MIDI track: absolute tick, status (type in the high nibble, channel in
// the low nibble) and two data bytes. A note-on of velocity 0 is read in as a note-off.
#include <cstdint>

class MIDIEvent {
public:
    MIDIEvent() = default;
    MIDIEvent(std::uint32_t tick, std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
        : tick_(tick), status_(status), data1_(data1), data2_(data2)
    {
    }

    [[nodiscard]] std::uint32_t GetTick() const { return tick_; }
    void SetTick(std::uint32_t tick) { tick_ = tick; }
    [[nodiscard]] std::uint8_t GetStatus() const { return status_; }
    [[nodiscard]] std::uint8_t GetType() const { return status_ & 0xF0; }
    [[nodiscard]] std::uint8_t GetChannel() const { return status_ & 0x0F; }
    [[nodiscard]] std::uint8_t GetData1() const { return data1_ & 0x7F; }
    [[nodiscard]] std::uint8_t GetData2() const { return data2_ & 0x7F; }
    void SetData1(std::uint8_t value) { data1_ = value; }
    void SetData2(std::uint8_t value) { data2_ = value; }

    // Makes this event a control change (type 0xB0) on the channel (low four bits used).
    void InitControlChange(std::uint32_t tick, std::uint8_t channel, std::uint8_t controller,
                           std::uint8_t value);

    bool operator==(const MIDIEvent&) const = default;

private:
    std::uint32_t tick_ = 0;
    std::uint8_t status_ = 0;
    std::uint8_t data1_ = 0;
    std::uint8_t data2_ = 0;
};

// Track order: earlier tick first; at one tick the lower channel first, and within a channel other
// events before control changes.
[[nodiscard]] bool MIDIEventLess(const MIDIEvent& a, const MIDIEvent& b);
