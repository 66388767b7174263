#include "platform/multimedia/MidiOut.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

TEST(MidiOut, SilentDeviceZeroAlwaysOpensAndTakesChannelMessages)
{
    ASSERT_GE(midiOutGetNumDevs(), 1u);
    std::vector<std::pair<UINT, DWORD>> seen;
    SetMidiOutMonitor([&](UINT device, DWORD message) { seen.emplace_back(device, message); });

    HMIDIOUT out = nullptr;
    ASSERT_EQ(midiOutOpen(&out, 0, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(midiOutShortMsg(out, 0x403C90), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(out, 0x003C80), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(out, 0x00003C), MMSYSERR_INVALPARAM);  // no status byte
    EXPECT_EQ(midiOutShortMsg(out, 0x0000F8), MMSYSERR_INVALPARAM);  // not a channel message
    EXPECT_EQ(midiOutClose(out), MMSYSERR_NOERROR);
    SetMidiOutMonitor({});

    EXPECT_EQ(seen, (std::vector<std::pair<UINT, DWORD>>{{0, 0x403C90}, {0, 0x003C80}}));
}

TEST(MidiOut, ClosedOrUnknownHandlesAndDevicesAreRefused)
{
    HMIDIOUT out = nullptr;
    ASSERT_EQ(midiOutOpen(&out, 0, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    ASSERT_EQ(midiOutClose(out), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(out, 0x403C90), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutClose(out), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midiOutShortMsg(nullptr, 0x403C90), MMSYSERR_INVALHANDLE);

    HMIDIOUT none = reinterpret_cast<HMIDIOUT>(1);
    EXPECT_EQ(midiOutOpen(&none, midiOutGetNumDevs(), 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(midiOutOpen(nullptr, 0, 0, 0, CALLBACK_NULL), MMSYSERR_INVALPARAM);
    EXPECT_EQ(midiOutOpen(&none, 0, 0x1234, 0, CALLBACK_FUNCTION), MMSYSERR_INVALPARAM);
}

TEST(MidiOut, InputHasNoDevicesAndClosingItSucceeds)
{
    EXPECT_EQ(midiInGetNumDevs(), 0u);
    EXPECT_EQ(midiInStop(nullptr), MMSYSERR_NOERROR);
    EXPECT_EQ(midiInClose(nullptr), MMSYSERR_NOERROR);
}

} // namespace
