#include "sound/midi/MIDIMemoryStream.h"

#include <algorithm>
#include <cstring>

MIDIMemoryStream::MIDIMemoryStream(const void* data, std::size_t size)
{
    if (data && size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        bytes_.assign(bytes, bytes + size);
    }
}

std::size_t MIDIMemoryStream::Read(void* buffer, std::size_t count)
{
    const std::size_t n = std::min<std::size_t>(count, bytes_.size() - position_);
    if (n) {
        std::memcpy(buffer, bytes_.data() + position_, n);
        position_ += n;
    }
    return n;
}

bool MIDIMemoryStream::StepBack()
{
    if (position_ == 0)
        return false;
    --position_;
    return true;
}

bool MIDIMemoryStream::Skip(std::uint64_t count)
{
    if (count > Remaining())
        return false;
    position_ += static_cast<std::size_t>(count);
    return true;
}
