#include "app/game/UpcomingNotes.h"

#include "config/TDVContext.h"
#include "sound/midi/MIDIData.h"

#include <algorithm>

namespace {

constexpr int kDefaultIntervalMs = 500;
constexpr std::uint8_t kFirstUpcomingController = 86;
// Controller numbers end at 127.
constexpr int kMostSteps = 127 - kFirstUpcomingController + 1;

}  // namespace

int UpcomingNoteInterval(TDVContext* settings)
{
    if (settings == nullptr || !settings->Exists("UpcomingNoteInterval"))
        return kDefaultIntervalMs;
    return std::max(0, int(settings->GetInteger("UpcomingNoteInterval")));
}

bool BuildUpcomingNotes(MIDIData& midi, int steps, int intervalMs)
{
    if (steps <= 0)
        return false;
    steps = std::min(steps, kMostSteps);
    const TempoEvent* tempo = midi.NextTempoEvent(nullptr);
    if (tempo == nullptr || tempo->tempo == 0 || midi.GetDivision() == 0)
        return false;

    // 64-bit and signed: the product overflows 32 bits for fine divisions, and a note nearer the
    // start than the lead must give a negative distance (no announcement), not a wrapped tick far
    // beyond the riff's end that would keep its schedule running.
    const std::int64_t lead =
        std::int64_t(std::max(0, intervalMs)) * midi.GetDivision() * 1000 / std::int64_t(tempo->tempo);
    const double step = double(lead) / steps;

    MIDITrack track;
    for (std::size_t t = 0; t < midi.GetTrackCount(); ++t) {
        for (const MIDIEvent& event : midi.GetTrack(t)->GetEvents()) {
            if (event.GetType() != 0x90 || event.GetData2() == 0)
                continue;
            const std::int64_t from = std::int64_t(event.GetTick()) - lead;
            if (from <= 0)
                continue;
            for (int i = 0; i < steps; ++i) {
                MIDIEvent announcement;
                announcement.InitControlChange(std::uint32_t(std::int64_t(i * step + double(from))),
                                               event.GetChannel(), std::uint8_t(kFirstUpcomingController + i),
                                               event.GetData1());
                track.AddEvent(announcement);
            }
        }
    }
    track.SortEvents();
    midi.AddTrack(track);
    return true;
}
