#include "sound/midi/MIDITrack.h"

#include "sound/midi/MIDIData.h"
#include "sound/midi/MIDIStream.h"

#include <algorithm>
#include <cstring>

namespace {

// Every stored event takes at least two bytes of the file (delta time and one data byte), so a
// track never holds more events than half the bytes left; the ceiling keeps one reservation small.
constexpr std::uint64_t kMaxReservedEvents = 1u << 20;

bool readBytes(MIDIStream* stream, std::uint8_t* out, std::size_t count)
{
    return stream->Read(out, count) == count;
}

} // namespace

std::size_t ReadVarLen(MIDIStream* stream, std::uint32_t& value)
{
    value = 0;
    for (std::size_t n = 1; n <= 4; ++n) {
        std::uint8_t byte = 0;
        if (stream->Read(&byte, 1) != 1)
            return 0;
        value = (value << 7) | (byte & 0x7F);
        if (byte < 0x80)
            return n;
    }
    return 0;
}

bool MIDITrack::Read(MIDIStream* stream)
{
    MIDIData scratch;
    return Read(stream, scratch);
}

bool MIDITrack::Read(MIDIStream* stream, MIDIData& metaTarget)
{
    Clear();
    if (!stream)
        return false;
    std::uint8_t header[8];
    if (!readBytes(stream, header, sizeof header) || std::memcmp(header, "MTrk", 4) != 0)
        return false;
    const std::uint64_t declared = (std::uint64_t(header[4]) << 24) | (header[5] << 16) |
                                   (header[6] << 8) | header[7];
    events_.reserve(static_cast<std::size_t>(
        std::min({declared / 2, stream->Remaining() / 2, kMaxReservedEvents})));

    std::uint8_t running = 0;
    std::uint32_t tick = 0;
    for (;;) {
        std::uint32_t delta = 0;
        if (ReadVarLen(stream, delta) == 0)
            return false;
        tick += delta;

        std::uint8_t status = 0;
        if (!readBytes(stream, &status, 1))
            return false;
        if (status < 0x80) {
            if (running == 0 || !stream->StepBack())
                return false;
            status = running;
        }

        std::uint8_t data[2] = {0, 0};
        switch (status & 0xF0) {
        case 0x80:
        case 0xA0:
        case 0xB0:
        case 0xE0:
            if (!readBytes(stream, data, 2))
                return false;
            events_.emplace_back(tick, status, data[0], data[1]);
            break;
        case 0x90:
            if (!readBytes(stream, data, 2))
                return false;
            events_.emplace_back(tick, data[1] == 0 ? std::uint8_t(0x80 | (status & 0x0F)) : status,
                                 data[0], data[1]);
            break;
        case 0xC0:
        case 0xD0:
            if (!readBytes(stream, data, 1))
                return false;
            events_.emplace_back(tick, status, data[0], 0);
            break;
        default:
            if (status == 0xF0 || status == 0xF7) {
                std::uint32_t length = 0;
                if (ReadVarLen(stream, length) == 0 || !stream->Skip(length))
                    return false;
            } else if (status == 0xFF) {
                std::uint8_t type = 0;
                std::uint32_t length = 0;
                if (!readBytes(stream, &type, 1) || ReadVarLen(stream, length) == 0)
                    return false;
                if (type == 0x2F) {
                    // Step over any data the end-of-track event carries, so the next chunk
                    // starts where it should; a file that ends here still ends the track.
                    (void)stream->Skip(std::min<std::uint64_t>(length, stream->Remaining()));
                    return true;
                }
                if (length > stream->Remaining())
                    return false;
                std::vector<std::uint8_t> meta(length);
                if (!readBytes(stream, meta.data(), length))
                    return false;
                bool ok = true;
                if (type == 0x51)
                    ok = metaTarget.AddTempoEvent(tick, meta.data(), length);
                else if (type == 0x58)
                    ok = metaTarget.AddTimeSigEvent(tick, meta.data(), length);
                else if (type == 0x59)
                    ok = metaTarget.AddKeySigEvent(tick, meta.data(), length);
                if (!ok)
                    return false;
            }
            // 0xF1 to 0xFE carry nothing further.
            break;
        }
        running = status;
    }
}

bool MIDITrack::Write(MIDIStream*)
{
    return true;
}

const MIDIEvent* MIDITrack::NextEvent(const MIDIEvent* previous) const
{
    if (events_.empty())
        return nullptr;
    if (!previous)
        return events_.data();
    // A pointer from elsewhere ends the walk rather than running off the vector.
    const auto at = reinterpret_cast<std::uintptr_t>(previous);
    const auto first = reinterpret_cast<std::uintptr_t>(events_.data());
    if (at < first || (at - first) % sizeof(MIDIEvent) != 0)
        return nullptr;
    const std::size_t index = (at - first) / sizeof(MIDIEvent);
    return index + 1 < events_.size() ? &events_[index + 1] : nullptr;
}

std::size_t MIDITrack::CountEvents(const std::uint8_t* types, std::size_t count) const
{
    if (!types || count == 0)
        return events_.size();
    return static_cast<std::size_t>(std::count_if(events_.begin(), events_.end(), [&](const MIDIEvent& e) {
        return std::find(types, types + count, e.GetType()) != types + count;
    }));
}

void MIDITrack::SortEvents()
{
    std::stable_sort(events_.begin(), events_.end(), MIDIEventLess);
}
