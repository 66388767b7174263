// Upcoming notes: the controller track that announces each note of a riff's MIDI in steps ahead
// of it, the notes too early for a full lead, the riffs that get no track, and the lead interval
// setting.
#include "app/AppTestSupport.h"
#include "app/game/UpcomingNotes.h"
#include "config/TDVContext.h"
#include "sound/midi/MIDIData.h"
#include "sound/midi/MIDIMemoryStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Note {
    std::uint32_t tick;
    std::uint8_t channel;
    std::uint8_t note;
};

void VarLen(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    std::uint8_t bytes[5];
    int n = 0;
    bytes[n++] = value & 0x7F;
    while ((value >>= 7) != 0)
        bytes[n++] = std::uint8_t(0x80 | (value & 0x7F));
    while (n > 0)
        out.push_back(bytes[--n]);
}

// A one-track Standard MIDI File: the tempo (none when 0) and a 100-tick note per entry.
MIDIData Riff(std::uint16_t division, std::uint32_t tempo, const std::vector<Note>& notes)
{
    struct Ev {
        std::uint32_t tick;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Ev> events;
    if (tempo != 0)
        events.push_back({0, {0xFF, 0x51, 0x03, std::uint8_t(tempo >> 16), std::uint8_t(tempo >> 8), std::uint8_t(tempo)}});
    for (const Note& n : notes) {
        events.push_back({n.tick, {std::uint8_t(0x90 | n.channel), n.note, 100}});
        events.push_back({n.tick + 100, {std::uint8_t(0x80 | n.channel), n.note, 0}});
    }
    std::stable_sort(events.begin(), events.end(), [](const Ev& a, const Ev& b) { return a.tick < b.tick; });
    std::vector<std::uint8_t> track;
    std::uint32_t at = 0;
    for (const Ev& e : events) {
        VarLen(track, e.tick - at);
        at = e.tick;
        track.insert(track.end(), e.bytes.begin(), e.bytes.end());
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});

    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, std::uint8_t(division >> 8),
                                      std::uint8_t(division), 'M', 'T', 'r', 'k'};
    const auto size = std::uint32_t(track.size());
    file.insert(file.end(), {std::uint8_t(size >> 24), std::uint8_t(size >> 16), std::uint8_t(size >> 8), std::uint8_t(size)});
    file.insert(file.end(), track.begin(), track.end());
    MIDIData midi;
    MIDIMemoryStream stream(file);
    EXPECT_TRUE(midi.Read(&stream));
    return midi;
}

// The added track's events as (tick, status, controller, value).
std::vector<std::vector<std::uint32_t>> Announcements(const MIDIData& midi)
{
    std::vector<std::vector<std::uint32_t>> out;
    for (const MIDIEvent& e : midi.GetTrack(midi.GetTrackCount() - 1)->GetEvents())
        out.push_back({e.GetTick(), e.GetStatus(), e.GetData1(), e.GetData2()});
    return out;
}

TEST(UpcomingNotes, EachNoteIsAnnouncedInStepsOverTheLead)
{
    // 500 ms at 120 beats per minute and 480 ticks per quarter: a lead of 480 ticks.
    MIDIData midi = Riff(480, 500000, {{960, 11, 60}});
    ASSERT_TRUE(BuildUpcomingNotes(midi, 4, 500));
    ASSERT_EQ(midi.GetTrackCount(), 2u);
    const std::vector<std::vector<std::uint32_t>> expected = {
        {480, 0xBB, 86, 60}, {600, 0xBB, 87, 60}, {720, 0xBB, 88, 60}, {840, 0xBB, 89, 60}};
    EXPECT_EQ(Announcements(midi), expected);
}

TEST(UpcomingNotes, NotesWithinTheLeadOfTheStartGetNoAnnouncement)
{
    MIDIData midi = Riff(480, 500000, {{0, 10, 40}, {100, 10, 41}, {480, 10, 42}, {481, 12, 43}});
    ASSERT_TRUE(BuildUpcomingNotes(midi, 2, 500));
    const auto events = Announcements(midi);
    ASSERT_EQ(events.size(), 2u) << "only the note after the full lead";
    EXPECT_EQ(events[0], (std::vector<std::uint32_t>{1, 0xBC, 86, 43}));
    EXPECT_EQ(events[1], (std::vector<std::uint32_t>{241, 0xBC, 87, 43}));
}

TEST(UpcomingNotes, SilentNoteOnsAreNotAnnounced)
{
    MIDIData midi = Riff(480, 500000, {});
    midi.GetTrack(0)->AddEvent(MIDIEvent(2000, 0x9A, 50, 0));
    ASSERT_TRUE(BuildUpcomingNotes(midi, 3, 500));
    EXPECT_TRUE(Announcements(midi).empty());
}

TEST(UpcomingNotes, RiffsWithoutTempoOrStepsGetNoTrack)
{
    MIDIData noTempo = Riff(480, 0, {{960, 10, 60}});
    EXPECT_FALSE(BuildUpcomingNotes(noTempo, 4, 500));
    EXPECT_EQ(noTempo.GetTrackCount(), 1u);

    MIDIData noSteps = Riff(480, 500000, {{960, 10, 60}});
    EXPECT_FALSE(BuildUpcomingNotes(noSteps, 0, 500));
    EXPECT_EQ(noSteps.GetTrackCount(), 1u);
}

TEST(UpcomingNotes, LongLeadAtAFineDivisionKeepsItsTicks)
{
    // 5 s at 30000 ticks per quarter: the product 5000 * 30000 * 1000 does not fit 32 bits.
    MIDIData midi = Riff(30000, 500000, {{400000, 10, 64}});
    ASSERT_TRUE(BuildUpcomingNotes(midi, 1, 5000));
    const auto events = Announcements(midi);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0][0], 400000u - 300000u);
}

TEST(UpcomingNotes, IntervalSettingDefaultsTo500AndIsNeverNegative)
{
    TDVContext root;
    LoadText(root, "context settings\n\tinteger UpcomingNoteInterval=300\nendcontext\ncontext other\nendcontext\n");
    EXPECT_EQ(UpcomingNoteInterval(root.GetContext("settings")), 300);
    EXPECT_EQ(UpcomingNoteInterval(root.GetContext("other")), 500);
    EXPECT_EQ(UpcomingNoteInterval(nullptr), 500);
    root.SetInteger("settings.UpcomingNoteInterval", -20);
    EXPECT_EQ(UpcomingNoteInterval(root.GetContext("settings")), 0);
}

}  // namespace
