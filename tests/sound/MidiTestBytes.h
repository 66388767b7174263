#pragma once
// Builds Standard MIDI File bytes in code, so that each test shows the file it reads.
#include "sound/midi/MIDIData.h"
#include "sound/midi/MIDIMemoryStream.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace miditest {

using Bytes = std::vector<std::uint8_t>;

inline void putBE(Bytes& out, std::uint32_t value, int width)
{
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(std::uint8_t(value >> shift));
}

inline Bytes varLen(std::uint32_t value)
{
    Bytes out{std::uint8_t(value & 0x7F)};
    while (value >>= 7)
        out.insert(out.begin(), std::uint8_t(0x80 | (value & 0x7F)));
    return out;
}

// The body of one "MTrk" chunk: delta times and events, in file order.
class TrackBytes {
public:
    // One delta time followed by raw event bytes (status byte optional: running status).
    TrackBytes& Ev(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes)
    {
        Bytes d = varLen(delta);
        body.insert(body.end(), d.begin(), d.end());
        body.insert(body.end(), bytes);
        return *this;
    }
    TrackBytes& Meta(std::uint32_t delta, std::uint8_t type, const Bytes& data)
    {
        Ev(delta, {0xFF, type});
        Bytes len = varLen(std::uint32_t(data.size()));
        body.insert(body.end(), len.begin(), len.end());
        body.insert(body.end(), data.begin(), data.end());
        return *this;
    }
    TrackBytes& Tempo(std::uint32_t delta, std::uint32_t usPerQuarter)
    {
        return Meta(delta, 0x51, {std::uint8_t(usPerQuarter >> 16), std::uint8_t(usPerQuarter >> 8),
                                  std::uint8_t(usPerQuarter)});
    }
    TrackBytes& End(std::uint32_t delta = 0) { return Meta(delta, 0x2F, {}); }

    Bytes body;
};

// A whole file: header chunk and track chunks.
class FileBytes {
public:
    explicit FileBytes(std::uint16_t division, std::uint16_t format = 1) : division_(division), format_(format) {}

    FileBytes& Track(const TrackBytes& track) { return TrackWithLength(track, std::uint32_t(track.body.size())); }
    FileBytes& TrackWithLength(const TrackBytes& track, std::uint32_t declared)
    {
        tracks_.push_back({track.body, declared});
        return *this;
    }
    // Announces a different number of tracks than were added.
    FileBytes& Announce(std::uint16_t count)
    {
        announced_ = count;
        return *this;
    }

    [[nodiscard]] Bytes Build() const
    {
        Bytes out{'M', 'T', 'h', 'd'};
        putBE(out, 6, 4);
        putBE(out, format_, 2);
        putBE(out, announced_ >= 0 ? std::uint32_t(announced_) : std::uint32_t(tracks_.size()), 2);
        putBE(out, division_, 2);
        for (const auto& [body, declared] : tracks_) {
            out.insert(out.end(), {'M', 'T', 'r', 'k'});
            putBE(out, declared, 4);
            out.insert(out.end(), body.begin(), body.end());
        }
        return out;
    }

private:
    std::uint16_t division_;
    std::uint16_t format_;
    int announced_ = -1;
    std::vector<std::pair<Bytes, std::uint32_t>> tracks_;
};

inline bool readInto(MIDIData& data, const Bytes& bytes)
{
    MIDIMemoryStream stream(bytes);
    return data.Read(&stream);
}

} // namespace miditest
