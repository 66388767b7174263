// Clips of a riff: note groups of a MIDI file built in code, bar slices, stepping, recorded events.
#include "app/AppTestSupport.h"
#include "app/riffs/RiffClips.h"
#include "app/riffs/RiffStruct.h"
#include "app/game/TGameEnvObj.h"
#include "app/game/TGameObj.h"
#include "platform/system/Exception.h"
#include "sound/midi/MIDIData.h"
#include "sound/midi/MIDIMemoryStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace {

// Builds a format-1 Standard MIDI File; events are given with absolute ticks in time order.
class SmfBuilder {
public:
    struct Event {
        std::uint32_t tick;
        std::vector<std::uint8_t> bytes;  // status and data, or FF type len data
    };

    explicit SmfBuilder(std::uint16_t division) : division_(division) {}

    SmfBuilder& Tempo(std::uint32_t microsecondsPerQuarter)
    {
        tempo_ = microsecondsPerQuarter;
        return *this;
    }
    // A track with one note per (on tick, length, key); velocity 0 note-ons as note-offs when asked.
    SmfBuilder& Notes(const std::vector<std::vector<std::uint32_t>>& notes, bool zeroVelocityOff = false)
    {
        std::vector<Event> events;
        for (const auto& n : notes) {
            const auto key = static_cast<std::uint8_t>(n.size() > 2 ? n[2] : 60);
            events.push_back({n[0], {0x90, key, 100}});
            events.push_back({n[0] + n[1], zeroVelocityOff ? std::vector<std::uint8_t>{0x90, key, 0}
                                                           : std::vector<std::uint8_t>{0x80, key, 64}});
        }
        std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.tick < b.tick; });
        tracks_.push_back(events);
        return *this;
    }

    [[nodiscard]] MIDIData Build() const
    {
        MIDIData midi;
        MIDIMemoryStream stream(Bytes());
        EXPECT_TRUE(midi.Read(&stream));
        return midi;
    }

    [[nodiscard]] std::vector<std::uint8_t> Bytes() const
    {
        std::vector<std::uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
        const auto tracks = static_cast<std::uint16_t>(tracks_.size() + 1);
        file.push_back(std::uint8_t(tracks >> 8));
        file.push_back(std::uint8_t(tracks));
        file.push_back(std::uint8_t(division_ >> 8));
        file.push_back(std::uint8_t(division_));
        std::vector<Event> meta;
        if (tempo_)
            meta.push_back({0, {0xFF, 0x51, 3, std::uint8_t(tempo_ >> 16), std::uint8_t(tempo_ >> 8), std::uint8_t(tempo_)}});
        AppendTrack(file, meta);
        for (const auto& t : tracks_)
            AppendTrack(file, t);
        return file;
    }

private:
    static void VarLen(std::vector<std::uint8_t>& out, std::uint32_t v)
    {
        std::uint8_t bytes[4];
        int n = 0;
        do {
            bytes[n++] = std::uint8_t(v & 0x7F);
            v >>= 7;
        } while (v);
        while (n > 1)
            out.push_back(bytes[--n] | 0x80);
        out.push_back(bytes[0]);
    }
    static void AppendTrack(std::vector<std::uint8_t>& file, const std::vector<Event>& events)
    {
        std::vector<std::uint8_t> body;
        std::uint32_t last = 0;
        for (const Event& e : events) {
            VarLen(body, e.tick - last);
            last = e.tick;
            body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        }
        body.insert(body.end(), {0, 0xFF, 0x2F, 0});
        file.insert(file.end(), {'M', 'T', 'r', 'k'});
        const auto size = static_cast<std::uint32_t>(body.size());
        file.insert(file.end(), {std::uint8_t(size >> 24), std::uint8_t(size >> 16), std::uint8_t(size >> 8), std::uint8_t(size)});
        file.insert(file.end(), body.begin(), body.end());
    }

    std::uint16_t division_;
    std::uint32_t tempo_ = 0;
    std::vector<std::vector<Event>> tracks_;
};

// 480 ticks per quarter at 480000 us per quarter: one tick is one millisecond.
constexpr std::uint16_t kDivision = 480;
constexpr std::uint32_t kMsTempo = 480000;

std::vector<std::pair<int, int>> Spans(const RiffClips& clips)
{
    std::vector<std::pair<int, int>> spans;
    for (const TRiffClip& c : clips.Clips())
        spans.emplace_back(c.startMs, c.endMs);
    return spans;
}

struct GroupCase {
    const char* what;
    std::vector<std::vector<std::uint32_t>> notes;  // on tick, length
    std::int32_t tickDistance;
    std::int32_t before;
    std::int32_t after;
    std::int32_t riffLength;
    std::vector<std::pair<int, int>> clips;
};

void PrintTo(const GroupCase& c, std::ostream* os) { *os << c.what; }

class NoteGroupTable : public ::testing::TestWithParam<GroupCase> {};

TEST_P(NoteGroupTable, BuildsTheGroups)
{
    const GroupCase& c = GetParam();
    const MIDIData midi = SmfBuilder(kDivision).Tempo(kMsTempo).Notes(c.notes).Build();
    RiffClips clips;
    EXPECT_EQ(clips.BuildNoteGroups(midi, c.tickDistance, c.before, c.after, c.riffLength), int(c.clips.size()));
    EXPECT_EQ(Spans(clips), c.clips) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    RiffClips, NoteGroupTable,
    ::testing::Values(
        GroupCase{"50 ticks apart: one group with the default distance", {{0, 40}, {50, 40}}, 0, 0, 0, 10000, {{0, 90}}},
        GroupCase{"51 ticks apart: two groups", {{0, 40}, {51, 40}}, 0, 0, 0, 10000, {{0, 40}, {51, 91}}},
        GroupCase{"distance counts from the group's first note", {{0, 30}, {40, 30}, {80, 30}}, 0, 0, 0, 10000,
                  {{0, 70}, {80, 110}}},
        GroupCase{"configured distance", {{0, 30}, {90, 30}}, 100, 0, 0, 10000, {{0, 120}}},
        GroupCase{"negative distance groups only notes that start together", {{0, 30, 60}, {0, 50, 62}, {10, 30, 64}}, -5, 0, 0,
                  10000, {{0, 50}}},
        GroupCase{"before and after widen, clamped to the riff", {{10, 40}}, 0, 20, 80, 100, {{0, 100}}},
        GroupCase{"20 ms or less is dropped", {{0, 20}, {100, 21}}, 0, 0, 0, 10000, {{100, 121}}},
        GroupCase{"no notes, no clips", {}, 0, 0, 0, 10000, {}}),
    [](const ::testing::TestParamInfo<GroupCase>& info) { return "Case" + std::to_string(info.index); });

TEST(RiffClips, NoteGroupsSpanTracks)
{
    const MIDIData midi = SmfBuilder(kDivision).Tempo(kMsTempo).Notes({{0, 40}, {400, 40}}).Notes({{30, 100, 64}}).Build();
    RiffClips clips;
    ASSERT_EQ(clips.BuildNoteGroups(midi, 0, 0, 0, 10000), 2);
    EXPECT_EQ(Spans(clips), (std::vector<std::pair<int, int>>{{0, 130}, {400, 440}}));
}

TEST(RiffClips, NoteGroupsEndAtZeroVelocityNoteOns)
{
    const MIDIData midi = SmfBuilder(kDivision).Tempo(kMsTempo).Notes({{0, 60}}, true).Build();
    RiffClips clips;
    ASSERT_EQ(clips.BuildNoteGroups(midi, 0, 0, 0, 10000), 1);
    EXPECT_EQ(Spans(clips), (std::vector<std::pair<int, int>>{{0, 60}}));
}

TEST(RiffClips, NoteGroupsFollowTheTempo)
{
    // 120 beats per minute, 480 ticks per quarter: 960 ticks are 1000 ms.
    const MIDIData midi = SmfBuilder(kDivision).Tempo(500000).Notes({{960, 480}}).Build();
    RiffClips clips;
    ASSERT_EQ(clips.BuildNoteGroups(midi, 0, 0, 0, 10000), 1);
    EXPECT_EQ(clips.Clips()[0], TRiffClip::FromMs(1000, 1500));
    EXPECT_EQ(clips.Clips()[0].startFrame, 44100);
}

TEST(RiffClips, NoteGroupsNeedATempo)
{
    const MIDIData midi = SmfBuilder(kDivision).Notes({{0, 100}}).Build();
    RiffClips clips;
    EXPECT_EQ(clips.BuildNoteGroups(midi, 0, 0, 0, 10000), 0);
    EXPECT_TRUE(clips.Empty());
}

struct SliceCase {
    const char* what;
    double barLength;
    int shift;
    std::int32_t before;
    std::int32_t after;
    double riffLength;
    std::vector<std::pair<int, int>> clips;
};

void PrintTo(const SliceCase& c, std::ostream* os) { *os << c.what; }

class SliceTable : public ::testing::TestWithParam<SliceCase> {};

TEST_P(SliceTable, CutsTheRiff)
{
    const SliceCase& c = GetParam();
    RiffClips clips;
    EXPECT_EQ(clips.BuildSlices(c.barLength, c.shift, c.before, c.after, c.riffLength), int(c.clips.size()));
    EXPECT_EQ(Spans(clips), c.clips) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    RiffClips, SliceTable,
    ::testing::Values(
        SliceCase{"whole bars", 2000, 0, 0, 0, 4000, {{0, 2000}, {2000, 4000}}},
        SliceCase{"eighths of a bar", 2000, 3, 0, 0, 2000,
                  {{0, 250}, {250, 500}, {500, 750}, {750, 1000}, {1000, 1250}, {1250, 1500}, {1500, 1750}, {1750, 2000}}},
        SliceCase{"each slice starts where the last ended, after-time included", 2000, 1, 20, 80, 2000,
                  {{0, 1080}, {1060, 2000}}},
        SliceCase{"a last piece of 20 ms or less is dropped", 1000, 0, 0, 0, 1015, {{0, 1000}}},
        SliceCase{"a fractional riff length still ends", 1000, 0, 0, 0, 1000.5, {{0, 1000}}},
        SliceCase{"a negative after-time still advances", 1000, 0, 0, -900, 300, {{0, 100}, {100, 200}, {200, 300}}},
        SliceCase{"an after-time that swallows the slice ends without clips", 1000, 0, 0, -2000, 500, {}},
        SliceCase{"a bar of 0 ms gives no clips", 0, 0, 0, 0, 2000, {}}),
    [](const ::testing::TestParamInfo<SliceCase>& info) { return "Case" + std::to_string(info.index); });

TEST(RiffClips, SliceFramesAreMillisecondsAt44100)
{
    RiffClips clips;
    ASSERT_EQ(clips.BuildSlices(2000, 3, 0, 0, 500), 2);
    EXPECT_EQ(clips.Clips()[1].startFrame, 11025);
    EXPECT_EQ(clips.Clips()[1].endFrame, 22050);
}

TEST(RiffClips, SteppingWrapsAroundBothWays)
{
    RiffClips clips;
    ASSERT_EQ(clips.BuildSlices(1000, 0, 0, 0, 3000), 3);
    EXPECT_EQ(clips.Current(), -1);
    EXPECT_EQ(clips.CurrentClip(), nullptr);
    ASSERT_TRUE(clips.StepBack());
    EXPECT_EQ(clips.Current(), 0) << "with none current, stepping plays the first";
    ASSERT_TRUE(clips.StepBack());
    EXPECT_EQ(clips.Current(), 2) << "before the first comes the last";
    ASSERT_TRUE(clips.StepForward());
    EXPECT_EQ(clips.Current(), 0) << "after the last comes the first";
    ASSERT_TRUE(clips.StepForward());
    EXPECT_EQ(clips.CurrentClip()->startMs, 1000);
    ASSERT_TRUE(clips.EnsureCurrent());
    EXPECT_EQ(clips.Current(), 1);
}

TEST(RiffClips, SteppingWithoutClipsDoesNothing)
{
    RiffClips clips;
    EXPECT_FALSE(clips.StepForward());
    EXPECT_FALSE(clips.StepBack());
    EXPECT_FALSE(clips.EnsureCurrent());
    EXPECT_EQ(clips.Current(), -1);
}

TEST(RiffClips, EventsAreRecordedOnlyWhileAClipIsCurrent)
{
    RiffClips clips;
    ASSERT_EQ(clips.BuildSlices(1000, 0, 0, 0, 2000), 2);
    clips.Record("NOTEON", 0x0A40);
    EXPECT_TRUE(clips.RecordedEvents().empty());
    ASSERT_TRUE(clips.EnsureCurrent());
    clips.Record("NOTEON", 0x0A40);
    clips.Record("MIDICTRL", 3);
    EXPECT_EQ(clips.RecordedEvents(), (RiffClips::TRecordedEvents{{"NOTEON", 0x0A40}, {"MIDICTRL", 3}}));
    clips.Clear();
    EXPECT_TRUE(clips.RecordedEvents().empty());
    EXPECT_TRUE(clips.Empty());
    EXPECT_EQ(clips.Current(), -1);
}

TEST(RiffClips, SettingsComeFromTheStepAndTheRiff)
{
    TDVContext root;
    LoadText(root, R"(context settings
	integer StepAdvanceThroughClipsBy=2
endcontext
context riff
	integer notegrp_tick_dist=70
	integer notegrp_before[5]=20,1,2,3,4
	integer notegrp_after[5]=80,5,6,7,8
endcontext
context bare
	integer other=1
endcontext
)");
    const RiffClips::TClipSettings s =
        RiffClips::ReadSettings(root.GetContext("settings"), root.GetContext("riff"));
    EXPECT_EQ(s.step, 2);
    EXPECT_EQ(s.tickDistance, 70);
    EXPECT_EQ(s.beforeMs, 2);
    EXPECT_EQ(s.afterMs, 6);
    const RiffClips::TClipSettings bare = RiffClips::ReadSettings(nullptr, root.GetContext("bare"));
    EXPECT_EQ(bare.step, 0);
    EXPECT_EQ(bare.tickDistance, 0);
    EXPECT_EQ(bare.beforeMs, 0);
}

// An environment whose one subscriber logs every event it is handed.
class EventLog : public TGameEnvObj {
public:
    struct Listener : TGameObj {
        explicit Listener(EventLog* env) : TGameObj(env), log(env->log) {}
        void OnEvent(const TGameEvent& e, std::int32_t p) override { log.push_back(e.name + " " + std::to_string(p)); }
        std::vector<std::string>& log;
    };
    EventLog()
    {
        auto listener = std::make_unique<Listener>(this);
        for (const char* name : {"MIDIOFF", "NOTEON", "MIDICTRL"})
            Subscribe(name, listener.get());
        AddObject(std::move(listener));
    }
    ~EventLog() override { DeleteObjects(); }
    void SetMode(const std::string&, std::int32_t, bool) override {}
    TDVContext* GetGeneralContext() override { return nullptr; }
    TDVContext* GetSettingsContext() override { return nullptr; }
    TDVContext* FindMode(const std::string&) override { return nullptr; }

    std::vector<std::string> log;
};

TEST(RiffClips, EndingAClipClearsThenPostsTheRecordedEventsAgain)
{
    RiffClips clips;
    ASSERT_EQ(clips.BuildSlices(1000, 0, 0, 0, 1000), 1);
    ASSERT_TRUE(clips.EnsureCurrent());
    clips.Record("NOTEON", 0x0A40);
    clips.Record("MIDICTRL", 7);
    EventLog env;
    clips.EndClip(env);
    EXPECT_EQ(env.log, (std::vector<std::string>{"MIDIOFF 0", "NOTEON 2624", "MIDICTRL 7"}));
    EXPECT_TRUE(env.Queue().empty());
}

class RiffClipsMidiFiles : public ::testing::Test {
protected:
    RiffClipsMidiFiles()
    {
        std::filesystem::create_directories(folder.path / "MIDI");
        Write("MIDI/riff.mid", SmfBuilder(kDivision).Tempo(kMsTempo).Notes({{0, 100}}));
        Write("MIDI/riff_sa.mid", SmfBuilder(kDivision).Tempo(kMsTempo).Notes({{0, 100}, {500, 100}}));
        record.riffName = "r";
        record.midiFile = "MIDI\\riff.mid";
    }
    void Write(const std::string& name, const SmfBuilder& builder)
    {
        const auto bytes = builder.Bytes();
        folder.Write(name, std::string(bytes.begin(), bytes.end()));
    }
    [[nodiscard]] static std::size_t Notes(const MIDIData& midi)
    {
        std::size_t n = 0;
        for (std::size_t t = 0; t < midi.GetTrackCount(); ++t)
            for (const MIDIEvent& e : midi.GetTrack(t)->GetEvents())
                n += e.GetType() == 0x90 ? 1 : 0;
        return n;
    }

    TempFolder folder;
    RiffStruct record;
    std::string loadedKey;
};

TEST_F(RiffClipsMidiFiles, NoteGroupStepLoadsTheCompanionAsClipFile)
{
    RiffClips::LoadRiffMidi(record, folder.Dir(), 0, loadedKey);
    EXPECT_EQ(Notes(record.riffMidi), 1u);
    EXPECT_EQ(Notes(record.clipMidi), 2u);
    EXPECT_EQ(loadedKey, "r0");
}

TEST_F(RiffClipsMidiFiles, SliceStepsAndAMissingCompanionUseTheRiffFile)
{
    RiffClips::LoadRiffMidi(record, folder.Dir(), 2, loadedKey);
    EXPECT_EQ(Notes(record.clipMidi), 1u);
    std::filesystem::remove(folder.path / "MIDI/riff_sa.mid");
    RiffClips::LoadRiffMidi(record, folder.Dir(), 0, loadedKey);
    EXPECT_EQ(Notes(record.clipMidi), 1u);
    EXPECT_EQ(loadedKey, "r0");
}

TEST_F(RiffClipsMidiFiles, LoadedFilesAreKeptForTheSameRiffAndStep)
{
    int upcoming = 0;
    RiffClips::LoadRiffMidi(record, folder.Dir(), 0, loadedKey, [&](MIDIData&) { ++upcoming; });
    std::filesystem::remove(folder.path / "MIDI/riff.mid");
    RiffClips::LoadRiffMidi(record, folder.Dir(), 0, loadedKey, [&](MIDIData&) { ++upcoming; });
    EXPECT_EQ(upcoming, 1);
    EXPECT_EQ(Notes(record.clipMidi), 2u);
}

TEST_F(RiffClipsMidiFiles, MissingFileRaisesTheLoadErrorAndLeavesNothingLoaded)
{
    record.midiFile = "MIDI\\gone.mid";
    try {
        RiffClips::LoadRiffMidi(record, folder.Dir(), 0, loadedKey);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Error while loading Midi file: " + folder.Dir() + "MIDI/gone.mid");
    }
    EXPECT_EQ(loadedKey, "");
    EXPECT_EQ(record.riffMidi.GetTrackCount(), 0u);
}

TEST(RiffClips, CompanionFileNameInsertsBeforeTheFirstDotOfTheName)
{
    EXPECT_EQ(RiffClips::CompanionFileName("MIDI\\blues01.mid"), "MIDI\\blues01_sa.mid");
    EXPECT_EQ(RiffClips::CompanionFileName("MIDI\\v1.2\\riff.mid"), "MIDI\\v1.2\\riff_sa.mid");
    EXPECT_EQ(RiffClips::CompanionFileName("take.two.mid"), "take_sa.two.mid");
    EXPECT_EQ(RiffClips::CompanionFileName("MIDI/noext"), "MIDI/noext_sa");
}

} // namespace
