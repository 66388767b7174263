#pragma once
// The byte source the MIDI reader reads from. The reader needs sequential reads, a step back of
// one byte (running status) and the number of bytes left, which bounds every size it trusts.
#include <cstddef>
#include <cstdint>

class MIDIStream {
public:
    virtual ~MIDIStream() = default;
    // Copies up to count bytes; returns how many were copied (fewer only at the end).
    [[nodiscard]] virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Moves back over the byte read last; false at the start of the stream.
    [[nodiscard]] virtual bool StepBack() = 0;
    // Moves forward over count bytes; false, without moving, when fewer are left.
    [[nodiscard]] virtual bool Skip(std::uint64_t count) = 0;
    [[nodiscard]] virtual std::uint64_t Remaining() const = 0;
};
