#pragma once
// A MIDIStream over the class library's file stream; owns the open file.
#include "platform/system/TFileStream.h"
#include "sound/midi/MIDIStream.h"

#include <string>

class MIDIFileStream : public MIDIStream {
public:
    // Opens the file read-only; throws Exception when it cannot be opened.
    explicit MIDIFileStream(const std::string& fileName);

    [[nodiscard]] std::size_t Read(void* buffer, std::size_t count) override;
    [[nodiscard]] bool StepBack() override;
    [[nodiscard]] bool Skip(std::uint64_t count) override;
    [[nodiscard]] std::uint64_t Remaining() const override;

private:
    TFileStream file_;
};
