// Arbitrary bytes through the MIDI reader, then through what callers do with a loaded file:
// walking and sorting its tracks, finding a start note and building the player's schedule.
#include "sound/midi/MIDIData.h"
#include "sound/midi/MIDIMemoryStream.h"
#include "sound/midi/Player.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    MIDIMemoryStream stream(bytes, size);
    MIDIData data;
    (void)data.Read(&stream);

    MIDIData copy = data;
    std::size_t seen = 0;
    for (const TempoEvent* t = copy.NextTempoEvent(nullptr); t; t = copy.NextTempoEvent(t))
        ++seen;
    for (std::size_t i = 0; i < copy.GetTrackCount(); ++i) {
        MIDITrack* track = copy.GetTrack(i);
        track->SortEvents();
        for (const MIDIEvent* e = track->NextEvent(nullptr); e; e = track->NextEvent(e))
            seen += e->GetData1() + e->GetData2();
    }

    // The start position comes from the input too, so that every tempo map meets every start.
    const int startMs = size >= 2 ? (bytes[size - 2] << 8 | bytes[size - 1]) * 7 : 0;
    seen += static_cast<std::size_t>(Player::FirstNoteOnAfter(data, startMs, true));
    seen += static_cast<std::size_t>(Player::FirstNoteOnAfter(data, startMs, false));
    static Player player;
    (void)player.Prepare(data, startMs, true);
    (void)player.Stop();
    return seen == 0xFFFFFFFF ? 1 : 0;
}
