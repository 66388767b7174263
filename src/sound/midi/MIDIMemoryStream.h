#pragma once
// A MIDIStream over a copy of bytes held in memory (files built in code, fuzzing).
#include "sound/midi/MIDIStream.h"

#include <cstdint>
#include <vector>

class MIDIMemoryStream : public MIDIStream {
public:
    MIDIMemoryStream(const void* data, std::size_t size);
    explicit MIDIMemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    [[nodiscard]] std::size_t Read(void* buffer, std::size_t count) override;
    [[nodiscard]] bool StepBack() override;
    [[nodiscard]] bool Skip(std::uint64_t count) override;
    [[nodiscard]] std::uint64_t Remaining() const override { return bytes_.size() - position_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};
