#include "demo/MidiContent.h"

#include "demo/DemoOutput.h"

#include <algorithm>

namespace demo {

namespace {

// Notes end a little before the step ends, so that a string's note-off never shares a tick with
// its next note-on (the player would be free to order them either way).
constexpr std::uint32_t kReleaseGap = 20;

struct Ordered {
    MidiEvent event;
    int rank;  // at one tick: note-offs, then controllers, then note-ons
};

} // namespace

std::vector<MidiEvent> RiffEvents(const DemoMode& mode, const DemoRiff& riff)
{
    std::vector<Ordered> list;
    for (const DemoNote& n : riff.notes) {
        const auto channel = static_cast<std::uint8_t>(kFirstDisplayChannel + n.string);
        const auto note = static_cast<std::uint8_t>(NoteOf(mode, n));
        const auto on = static_cast<std::uint32_t>(n.step * kTicksPerStep);
        const auto off = static_cast<std::uint32_t>((n.step + n.length) * kTicksPerStep) - kReleaseGap;
        list.push_back({{on, static_cast<std::uint8_t>(0xB0 | channel), kMarkerController,
                         static_cast<std::uint8_t>(kSpotPictureBase + n.finger)}, 1});
        if (n.finger > 0)
            list.push_back({{on, static_cast<std::uint8_t>(0xB0 | channel), kMarkerController,
                             static_cast<std::uint8_t>(n.finger)}, 1});
        list.push_back({{on, static_cast<std::uint8_t>(0x90 | channel), note, 100}, 2});
        list.push_back({{off, static_cast<std::uint8_t>(0x80 | channel), note, 0}, 0});
    }
    const auto end = static_cast<std::uint32_t>(riff.bars * kStepsPerBar * kTicksPerStep);
    list.push_back({{end, static_cast<std::uint8_t>(0xB0 | kFirstDisplayChannel), kMarkerController,
                     kStopMarkerValue}, 3});
    std::stable_sort(list.begin(), list.end(), [](const Ordered& a, const Ordered& b) {
        return a.event.tick != b.event.tick ? a.event.tick < b.event.tick : a.rank < b.rank;
    });
    std::vector<MidiEvent> events;
    events.reserve(list.size());
    for (const Ordered& o : list)
        events.push_back(o.event);
    return events;
}

void WriteMidiFiles(const std::filesystem::path& dir)
{
    const auto folder = Folder(dir, kMidiFolder);
    for (const DemoMode& mode : DemoModes())
        for (const DemoRiff& riff : mode.riffs) {
            const auto bytes = StandardMidiFile(kDivision, static_cast<std::uint32_t>(TempoMicroseconds(mode)),
                                                RiffEvents(mode, riff));
            // The clip companion holds the same notes: each note (or chord) makes one clip.
            for (const std::string& name : {riff.prefix + ".mid", riff.prefix + "_sa.mid"}) {
                SaveBytes(bytes, folder / name);
                Report(folder / name, std::to_string(bytes.size()) + " bytes");
            }
        }
}

} // namespace demo
