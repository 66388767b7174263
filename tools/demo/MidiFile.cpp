#include "demo/MidiFile.h"

#include "platform/system/Exception.h"

namespace demo {

namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutVarLen(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    std::uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<std::uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v != 0);
    while (n > 1)
        out.push_back(static_cast<std::uint8_t>(bytes[--n] | 0x80));
    out.push_back(bytes[0]);
}

void PutTrack(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& body)
{
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    Put32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

void PutEndOfTrack(std::vector<std::uint8_t>& body, std::uint32_t delta)
{
    PutVarLen(body, delta);
    body.insert(body.end(), {0xFF, 0x2F, 0x00});
}

} // namespace

std::vector<std::uint8_t> StandardMidiFile(std::uint16_t division, std::uint32_t tempo,
                                           const std::vector<MidiEvent>& events)
{
    std::vector<std::uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2};
    out.push_back(static_cast<std::uint8_t>(division >> 8));
    out.push_back(static_cast<std::uint8_t>(division));

    std::vector<std::uint8_t> meta;
    PutVarLen(meta, 0);
    meta.insert(meta.end(), {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(tempo >> 16),
                             static_cast<std::uint8_t>(tempo >> 8), static_cast<std::uint8_t>(tempo)});
    PutVarLen(meta, 0);
    meta.insert(meta.end(), {0xFF, 0x58, 0x04, 4, 2, 24, 8});
    PutEndOfTrack(meta, 0);
    PutTrack(out, meta);

    std::vector<std::uint8_t> body;
    std::uint32_t last = 0;
    for (const MidiEvent& e : events) {
        if (e.tick < last)
            throw Exception("StandardMidiFile: events out of tick order");
        const std::uint8_t type = e.status & 0xF0;
        if (type != 0x80 && type != 0x90 && type != 0xB0)
            throw Exception("StandardMidiFile: only notes and control changes are written");
        PutVarLen(body, e.tick - last);
        body.insert(body.end(), {e.status, static_cast<std::uint8_t>(e.data1 & 0x7F),
                                 static_cast<std::uint8_t>(e.data2 & 0x7F)});
        last = e.tick;
    }
    PutEndOfTrack(body, 0);
    PutTrack(out, body);
    return out;
}

} // namespace demo
