#include "MidiTestBytes.h"

#include "platform/system/Exception.h"
#include "sound/midi/MIDIData.h"
#include "sound/midi/MIDIMemoryStream.h"
#include "sound/midi/MIDITrackProxy.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace miditest;

namespace {

std::vector<MIDIEvent> eventsOf(const MIDIData& data, std::size_t track)
{
    return data.GetTrack(track)->GetEvents();
}

TEST(MidiRead, HeaderTracksAndMetaRecords)
{
    TrackBytes conductor;
    conductor.Tempo(0, 500000)
        .Meta(0, 0x58, {3, 2, 24, 8})
        .Meta(0, 0x59, {0xFE, 1})
        .Meta(0, 0x03, {'R', 'i', 'f', 'f'})  // track name: skipped
        .Tempo(960, 400000)
        .End();
    TrackBytes notes;
    notes.Ev(10, {0x9A, 60, 100}).Ev(20, {0x8A, 60, 64}).End();
    MIDIData data;
    ASSERT_TRUE(readInto(data, FileBytes(480).Track(conductor).Track(notes).Build()));

    EXPECT_EQ(data.GetDivision(), 480);
    ASSERT_EQ(data.GetTrackCount(), 2u);
    EXPECT_EQ(data.GetTrack(0)->GetEvents().size(), 0u);
    ASSERT_EQ(data.GetTempoEvents().size(), 2u);
    EXPECT_EQ(data.GetTempoEvents()[0].tick, 0u);
    EXPECT_EQ(data.GetTempoEvents()[0].tempo, 500000u);
    EXPECT_EQ(data.GetTempoEvents()[1].tick, 960u);
    EXPECT_EQ(data.GetTempoEvents()[1].tempo, 400000u);
    ASSERT_EQ(data.GetTimeSigEvents().size(), 1u);
    EXPECT_EQ(data.GetTimeSigEvents()[0].numerator, 3);
    EXPECT_EQ(data.GetTimeSigEvents()[0].denominatorPower, 2);
    EXPECT_EQ(data.GetTimeSigEvents()[0].clocksPerClick, 24);
    EXPECT_EQ(data.GetTimeSigEvents()[0].notes32PerQuarter, 8);
    ASSERT_EQ(data.GetKeySigEvents().size(), 1u);
    EXPECT_EQ(data.GetKeySigEvents()[0].sharpsFlats, -2);
    EXPECT_EQ(data.GetKeySigEvents()[0].minor, 1);
    EXPECT_EQ(eventsOf(data, 1), (std::vector<MIDIEvent>{{10, 0x9A, 60, 100}, {30, 0x8A, 60, 64}}));
}

TEST(MidiRead, ZeroVelocityNoteOnBecomesNoteOffAndRunningStatusStaysNoteOn)
{
    TrackBytes t;
    t.Ev(0, {0x93, 60, 90}).Ev(5, {60, 0}).Ev(5, {62, 80}).Ev(0, {0xB3, 7, 100}).Ev(1, {10, 64}).End();
    MIDIData data;
    ASSERT_TRUE(readInto(data, FileBytes(96).Track(t).Build()));
    EXPECT_EQ(eventsOf(data, 0), (std::vector<MIDIEvent>{{0, 0x93, 60, 90},
                                                         {5, 0x83, 60, 0},
                                                         {10, 0x93, 62, 80},
                                                         {10, 0xB3, 7, 100},
                                                         {11, 0xB3, 10, 64}}));
}

TEST(MidiRead, OneDataByteEventsAndSystemMessages)
{
    TrackBytes t;
    t.Ev(0, {0xC1, 25})
        .Ev(0, {26})           // running program change
        .Ev(1, {0xD1, 40})
        .Ev(1, {0xF8})         // system real-time: no data
        .Ev(1, {0xE1, 0x00, 0x40})
        .Ev(1, {0xA1, 60, 3})
        .End();
    MIDIData data;
    ASSERT_TRUE(readInto(data, FileBytes(96).Track(t).Build()));
    EXPECT_EQ(eventsOf(data, 0), (std::vector<MIDIEvent>{{0, 0xC1, 25, 0},
                                                         {0, 0xC1, 26, 0},
                                                         {1, 0xD1, 40, 0},
                                                         {3, 0xE1, 0, 0x40},
                                                         {4, 0xA1, 60, 3}}));
}

TEST(MidiRead, SystemExclusiveIsSkipped)
{
    TrackBytes t;
    t.Ev(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})
        .Ev(2, {0x90, 64, 70})
        .Ev(2, {0xF7, 0x02, 0x01, 0x02})
        .Ev(2, {0x80, 64, 0})
        .End();
    MIDIData data;
    ASSERT_TRUE(readInto(data, FileBytes(96).Track(t).Build()));
    EXPECT_EQ(eventsOf(data, 0), (std::vector<MIDIEvent>{{2, 0x90, 64, 70}, {6, 0x80, 64, 0}}));
}

struct BrokenCase {
    const char* name;
    Bytes bytes;
};

Bytes replaced(Bytes bytes, std::size_t at, std::initializer_list<std::uint8_t> with)
{
    std::copy(with.begin(), with.end(), bytes.begin() + std::ptrdiff_t(at));
    return bytes;
}

Bytes truncated(Bytes bytes, std::size_t drop)
{
    bytes.resize(bytes.size() - drop);
    return bytes;
}

std::vector<BrokenCase> brokenFiles()
{
    TrackBytes ok;
    ok.Tempo(0, 500000).Ev(0, {0x90, 60, 1}).End();
    const Bytes good = FileBytes(96).Track(ok).Build();
    TrackBytes noEnd;
    noEnd.Ev(0, {0x90, 60, 1});
    TrackBytes tempo4;
    tempo4.Meta(0, 0x51, {0x07, 0xA1, 0x20, 0x00}).End();
    TrackBytes tempo0;
    tempo0.Tempo(0, 0).End();
    TrackBytes timeSig3;
    timeSig3.Meta(0, 0x58, {4, 2, 24}).End();
    TrackBytes keySig1;
    keySig1.Meta(0, 0x59, {0}).End();
    TrackBytes orphanData;
    orphanData.Ev(0, {60, 1}).End();
    TrackBytes longDelta;
    longDelta.body = {0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1};  // a delta time of five bytes
    longDelta.End();
    TrackBytes longMeta;
    longMeta.Ev(0, {0xFF, 0x01, 0x20, 'a'});
    TrackBytes longSysex;
    longSysex.Ev(0, {0xF0, 0x7F, 1, 2});
    TrackBytes fiveByteLength;
    fiveByteLength.Ev(0, {0xFF, 0x01, 0x80, 0x80, 0x80, 0x80, 0x01}).End();
    return {
        {"EmptyStream", {}},
        {"ShortHeader", Bytes(good.begin(), good.begin() + 10)},
        {"HeaderMagic", replaced(good, 0, {'M', 'T', 'h', 'x'})},
        {"HeaderLengthSeven", replaced(good, 4, {0, 0, 0, 7})},
        {"DivisionZero", replaced(good, 12, {0, 0})},
        {"TrackMagic", replaced(good, 14, {'X', 'T', 'r', 'k'})},
        {"MissingEndOfTrack", FileBytes(96).Track(noEnd).Build()},
        {"TruncatedNoteData", truncated(FileBytes(96).Track(noEnd).Build(), 1)},
        {"TempoOfFourBytes", FileBytes(96).Track(tempo4).Build()},
        {"TempoOfZero", FileBytes(96).Track(tempo0).Build()},
        {"TimeSignatureOfThreeBytes", FileBytes(96).Track(timeSig3).Build()},
        {"KeySignatureOfOneByte", FileBytes(96).Track(keySig1).Build()},
        {"DataWithoutRunningStatus", FileBytes(96).Track(orphanData).Build()},
        {"DeltaOfFiveBytes", FileBytes(96).Track(longDelta).Build()},
        {"MetaLengthOfFiveBytes", FileBytes(96).Track(fiveByteLength).Build()},
        {"MetaDataPastTheEnd", FileBytes(96).Track(longMeta).Build()},
        {"SysexPastTheEnd", FileBytes(96).Track(longSysex).Build()},
        {"FewerTracksThanAnnounced", FileBytes(96).Track(ok).Announce(2).Build()},
    };
}

TEST(MidiRead, BrokenFilesAreRefused)
{
    for (const BrokenCase& c : brokenFiles()) {
        MIDIData data;
        EXPECT_FALSE(readInto(data, c.bytes)) << c.name;
    }
    MIDIData data;
    EXPECT_FALSE(data.Read(nullptr));
}

TEST(MidiRead, FailedReadKeepsWhatWasRead)
{
    TrackBytes first;
    first.Tempo(0, 500000).End();
    TrackBytes second;
    second.Ev(0, {0x90, 60, 1}).Ev(4, {0x80, 60, 0});  // no end of track
    MIDIData data;
    EXPECT_FALSE(readInto(data, FileBytes(96).Track(first).Track(second).Build()));
    ASSERT_EQ(data.GetTrackCount(), 2u);
    EXPECT_EQ(data.GetTempoEvents().size(), 1u);
    EXPECT_EQ(data.GetTrack(1)->GetEvents().size(), 2u);
}

TEST(MidiRead, HugeDeclaredTrackLengthReservesOnlyWhatTheFileHolds)
{
    TrackBytes t;
    t.Ev(0, {0x90, 60, 1}).End();
    const Bytes file = FileBytes(96).TrackWithLength(t, 0xFFFFFFFFu).Build();
    MIDIData data;
    ASSERT_TRUE(readInto(data, file));
    EXPECT_LE(data.GetTrack(0)->GetEvents().capacity(), file.size() / 2);
}

TEST(MidiRead, AnnouncedTrackCountOfZeroReadsNoTrack)
{
    MIDIData data;
    EXPECT_TRUE(readInto(data, FileBytes(96).Build()));
    EXPECT_EQ(data.GetTrackCount(), 0u);
    EXPECT_EQ(data.GetTrack(0), nullptr);
}

TEST(MidiRead, ReadReplacesEarlierContents)
{
    TrackBytes a;
    a.Tempo(0, 500000).Ev(0, {0x90, 60, 1}).End();
    TrackBytes b;
    b.Ev(0, {0x91, 61, 2}).End();
    MIDIData data;
    ASSERT_TRUE(readInto(data, FileBytes(96).Track(a).Track(a).Build()));
    ASSERT_TRUE(readInto(data, FileBytes(120).Track(b).Build()));
    EXPECT_EQ(data.GetDivision(), 120);
    EXPECT_EQ(data.GetTrackCount(), 1u);
    EXPECT_TRUE(data.GetTempoEvents().empty());
}

TEST(MidiRead, EndOfTrackDataIsSteppedOver)
{
    TrackBytes first;
    first.Ev(0, {0x90, 60, 1}).Meta(0, 0x2F, {0x55});
    TrackBytes second;
    second.Ev(0, {0x91, 62, 1}).End();
    MIDIData data;
    ASSERT_TRUE(readInto(data, FileBytes(96).Track(first).Track(second).Build()));
    EXPECT_EQ(eventsOf(data, 1), (std::vector<MIDIEvent>{{0, 0x91, 62, 1}}));
}

TEST(MidiRead, VariableLengthQuantities)
{
    struct Case {
        Bytes bytes;
        std::size_t read;
        std::uint32_t value;
    };
    const Case cases[] = {
        {{0x00}, 1, 0},
        {{0x7F}, 1, 0x7F},
        {{0x81, 0x00}, 2, 0x80},
        {{0xC0, 0x80, 0x00}, 3, 0x100000},
        {{0xFF, 0xFF, 0xFF, 0x7F}, 4, 0x0FFFFFFF},
        {{0x81, 0x80, 0x80, 0x80, 0x00}, 0, 0},  // a fifth byte is refused
        {{0x81, 0x80}, 0, 0},                    // ends first
        {{}, 0, 0},
    };
    for (const Case& c : cases) {
        MIDIMemoryStream stream(c.bytes);
        std::uint32_t value = 0;
        const std::size_t read = ReadVarLen(&stream, value);
        EXPECT_EQ(read, c.read) << testing::PrintToString(c.bytes);
        if (read) {
            EXPECT_EQ(value, c.value) << testing::PrintToString(c.bytes);
        }
    }
}

TEST(MidiRead, LoadFromFileReadsAFileAndThrowsWhenItCannotBeOpened)
{
    TrackBytes t;
    t.Tempo(0, 600000).Ev(3, {0x9C, 50, 60}).End();
    const Bytes bytes = FileBytes(240).Track(t).Build();
    const TestFolder dir("midi_read_");
    const auto path = dir.Path() / "read.mid";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

    MIDIData data;
    ASSERT_TRUE(data.LoadFromFile(path.string()));
    EXPECT_EQ(data.GetDivision(), 240);
    EXPECT_EQ(eventsOf(data, 0), (std::vector<MIDIEvent>{{3, 0x9C, 50, 60}}));
    std::filesystem::remove(path);

    EXPECT_THROW((void)data.LoadFromFile(path.string()), Exception);
    EXPECT_THROW((void)data.LoadFromFile(dir.Path().string()), Exception);
    // A pipe is refused at once instead of waiting for a writer.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_THROW((void)data.LoadFromFile(path.string()), Exception);
}

} // namespace
