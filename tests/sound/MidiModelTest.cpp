#include "MidiTestBytes.h"

#include "sound/midi/MIDIData.h"
#include "sound/midi/MIDITrackProxy.h"

#include <gtest/gtest.h>

using namespace miditest;

namespace {

TEST(MidiModel, EventAccessorsMaskDataAndSplitStatus)
{
    MIDIEvent e(7, 0x9B, 0xC5, 0xFF);
    EXPECT_EQ(e.GetType(), 0x90);
    EXPECT_EQ(e.GetChannel(), 0x0B);
    EXPECT_EQ(e.GetData1(), 0x45);
    EXPECT_EQ(e.GetData2(), 0x7F);
    e.InitControlChange(12, 0x13, 85, 127);
    EXPECT_EQ(e, MIDIEvent(12, 0xB3, 85, 127));
}

TEST(MidiModel, SortPutsLowerChannelsFirstAndControlChangesLastKeepingFileOrderOfEquals)
{
    MIDITrack track;
    const MIDIEvent events[] = {
        {5, 0xB2, 7, 1}, {5, 0x92, 60, 1}, {5, 0x81, 60, 0}, {5, 0x91, 60, 1},
        {5, 0x92, 61, 1}, {2, 0xBF, 1, 1},
    };
    for (const MIDIEvent& e : events)
        track.AddEvent(e);
    track.SortEvents();
    EXPECT_EQ(track.GetEvents(), (std::vector<MIDIEvent>{{2, 0xBF, 1, 1},
                                                         {5, 0x81, 60, 0},
                                                         {5, 0x91, 60, 1},
                                                         {5, 0x92, 60, 1},
                                                         {5, 0x92, 61, 1},
                                                         {5, 0xB2, 7, 1}}));
}

TEST(MidiModel, IterationEndsAtTheLastElementAndAtForeignPointers)
{
    TrackBytes t;
    t.Tempo(0, 500000).Tempo(10, 400000).Ev(0, {0x90, 1, 1}).Ev(0, {0x80, 1, 0}).End();
    MIDIData data;
    ASSERT_TRUE(readInto(data, FileBytes(96).Track(t).Build()));

    const TempoEvent* tempo = data.NextTempoEvent(nullptr);
    ASSERT_NE(tempo, nullptr);
    EXPECT_EQ(tempo->tempo, 500000u);
    tempo = data.NextTempoEvent(tempo);
    ASSERT_NE(tempo, nullptr);
    EXPECT_EQ(tempo->tempo, 400000u);
    EXPECT_EQ(data.NextTempoEvent(tempo), nullptr);

    const MIDITrack& track = *data.GetTrack(0);
    const MIDIEvent* e = track.NextEvent(nullptr);
    ASSERT_NE(e, nullptr);
    e = track.NextEvent(e);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetType(), 0x80);
    EXPECT_EQ(track.NextEvent(e), nullptr);
    const MIDIEvent stranger;
    EXPECT_EQ(track.NextEvent(&stranger), nullptr);
    EXPECT_EQ(MIDITrack().NextEvent(nullptr), nullptr);
    EXPECT_EQ(MIDIData().NextTempoEvent(nullptr), nullptr);
}

TEST(MidiModel, CountEventsByType)
{
    MIDITrack track;
    for (const MIDIEvent& e : {MIDIEvent(0, 0x90, 1, 1), MIDIEvent(1, 0x80, 1, 0), MIDIEvent(1, 0x95, 2, 1),
                               MIDIEvent(2, 0xB0, 64, 0)})
        track.AddEvent(e);
    const std::uint8_t notes[] = {0x90, 0x80};
    const std::uint8_t controls[] = {0xB0};
    EXPECT_EQ(track.CountEvents(notes, 2), 3u);
    EXPECT_EQ(track.CountEvents(notes, 1), 2u);
    EXPECT_EQ(track.CountEvents(controls, 1), 1u);
    EXPECT_EQ(track.CountEvents(nullptr, 0), 4u);
}

TEST(MidiModel, MetaRecordsNeedTheirExactLength)
{
    MIDIData data;
    const std::uint8_t bytes[] = {0x07, 0xA1, 0x20, 0x00};
    EXPECT_FALSE(data.AddTempoEvent(0, bytes, 4));
    EXPECT_TRUE(data.AddTempoEvent(0, bytes, 3));
    EXPECT_FALSE(data.AddTimeSigEvent(0, bytes, 3));
    EXPECT_TRUE(data.AddTimeSigEvent(0, bytes, 4));
    EXPECT_FALSE(data.AddKeySigEvent(0, bytes, 3));
    EXPECT_TRUE(data.AddKeySigEvent(0, bytes, 2));
    EXPECT_EQ(data.GetTempoEvents().at(0).tempo, 0x07A120u);
}

TEST(MidiModel, CopiesAreDeepAndProxiesAddToTheirTrack)
{
    TrackBytes t;
    t.Tempo(0, 500000).Ev(0, {0x90, 60, 1}).End();
    MIDIData original;
    ASSERT_TRUE(readInto(original, FileBytes(96).Track(t).Build()));
    MIDIData copy = original;
    MIDITrackProxy proxy(copy.GetTrack(0));
    MIDIEvent marker;
    marker.InitControlChange(9, 0, 85, 127);
    proxy.AddEvent(marker);
    copy.AddTrack(*copy.GetTrack(0));

    EXPECT_EQ(original.GetTrackCount(), 1u);
    EXPECT_EQ(original.GetTrack(0)->GetEvents().size(), 1u);
    EXPECT_EQ(copy.GetTrackCount(), 2u);
    EXPECT_EQ(copy.GetTrack(1)->GetEvents().size(), 2u);
    EXPECT_EQ(copy.GetDivision(), 96);
    EXPECT_EQ(copy.GetTempoEvents().size(), 1u);

    original = copy;
    EXPECT_EQ(original.GetTrackCount(), 2u);
    EXPECT_NE(original.GetTrack(0), copy.GetTrack(0));
}

} // namespace
