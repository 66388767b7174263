#include "MidiTestBytes.h"

#include "platform/multimedia/MidiOut.h"
#include "platform/multimedia/MmTimer.h"
#include "platform/multimedia/MmTimerService.h"
#include "platform/ui/WindowMessages.h"
#include "sound/midi/Player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace miditest;

namespace {

constexpr UINT kEndMessage = WM_APP + 100;
constexpr UINT kEventMessage = WM_APP + 101;

struct Post {
    UINT msg;
    std::uint32_t message;
    DWORD at;  // virtual time at which it was posted
};

MIDIData fileOf(const FileBytes& file)
{
    MIDIData data;
    EXPECT_TRUE(readInto(data, file.Build()));
    return data;
}

// All tests run on virtual time: the clock moves only when the test says so, and the posts are
// delivered after every millisecond, so each one carries the time it was posted at.
class PlayerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MmTimerService::Instance().UseVirtualTime(5000));
        window = AllocateHWnd([this](UINT msg, WPARAM, LPARAM l) { posts.push_back({msg, std::uint32_t(l), timeGetTime()}); });
        SetMidiOutMonitor([this](UINT, DWORD message) {
            std::lock_guard lock(sentMutex);
            sent.push_back(message);
        });
        player = std::make_unique<Player>();
        ASSERT_TRUE(player->SetStopMarker(85, 127, window, kEndMessage));
        ASSERT_TRUE(player->SetEventWindow(window, kEventMessage));
    }

    void TearDown() override
    {
        player.reset();
        SetMidiOutMonitor({});
        DeallocateHWnd(window);
        EXPECT_TRUE(MmTimerService::Instance().UseSteadyClock());
    }

    // As the application sets the player up: every channel muted, 10 to 15 reported.
    void MuteAllReportTenToFifteen()
    {
        for (std::uint8_t c = 0; c < 16; ++c)
            player->AddMuteChannel(c);
        for (std::uint8_t c = 10; c < 16; ++c)
            player->AddReportChannel(c);
    }

    void Run(std::uint32_t ms)
    {
        for (std::uint32_t i = 0; i < ms; ++i) {
            MmTimerService::Instance().AdvanceVirtualTime(1);
            ProcessMessages();
        }
    }

    std::vector<Post> PostsOf(UINT msg) const
    {
        std::vector<Post> out;
        for (const Post& p : posts)
            if (p.msg == msg)
                out.push_back(p);
        return out;
    }

    std::vector<std::uint32_t> Sent()
    {
        std::lock_guard lock(sentMutex);
        return sent;
    }

    std::vector<std::uint32_t> TakeSent()
    {
        std::lock_guard lock(sentMutex);
        return std::exchange(sent, {});
    }

    HWND window = nullptr;
    std::vector<Post> posts;
    std::mutex sentMutex;
    std::vector<std::uint32_t> sent;
    std::unique_ptr<Player> player;
};

// Division 100 at 500000 us per quarter: 5 ms per tick.
FileBytes reportedChannelsFile()
{
    TrackBytes conductor;
    conductor.Tempo(0, 500000).End();
    TrackBytes notes;
    notes.Ev(0, {0x99, 40, 100})   // channel 9: not reported
        .Ev(0, {0x9A, 60, 100})
        .Ev(2, {0xBF, 86, 64})
        .Ev(2, {0x8C, 62, 0})
        .Ev(0, {0x8A, 60, 0})
        .Ev(0, {0xB0, 7, 100})      // channel 0: not reported
        .End();
    return FileBytes(100).Track(conductor).Track(notes);
}

TEST_F(PlayerTest, ReportedChannelsArePostedOnTimeAndNothingIsSent)
{
    MuteAllReportTenToFifteen();
    const MIDIData data = fileOf(reportedChannelsFile());
    const DWORD start = timeGetTime();
    ASSERT_TRUE(player->Prepare(data, 0, false));
    EXPECT_TRUE(player->IsPlaying());
    Run(100);

    const std::vector<Post> events = PostsOf(kEventMessage);
    struct Expected {
        std::uint32_t message;
        std::uint32_t dueTick;  // fractional keys fall due one tick after their own
    };
    const Expected expected[] = {{0x64'3C'9A, 1}, {0x40'56'BF, 3}, {0x00'3C'8A, 5}, {0x00'3E'8C, 5}};
    ASSERT_EQ(events.size(), std::size(expected));
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].message, expected[i].message) << i;
        const DWORD due = start + expected[i].dueTick * 5;
        EXPECT_GE(events[i].at, due) << i;
        EXPECT_LE(events[i].at, due + 2) << i;
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_FALSE(player->IsPlaying());
}

// A loaded machine can hold the starting thread up after the timer is armed and before the call
// returns, while the clock passes the timer's due time and the timer thread runs it. The hook
// does that to the first timer (unless it is already known as the clock's: firing it then would
// wait for this thread, which holds the player); the events must still come, on time.
TEST_F(PlayerTest, ATimerFiringBeforeItsArmingCallReturnsKeepsTheSchedule)
{
    MuteAllReportTenToFifteen();
    bool heldUp = false;
    MmTimerService::Instance().SetArmHook([&](UINT) {
        if (heldUp || MmTimerService::Instance().IsTimerThread() || player->IsPlaying())
            return;
        heldUp = true;
        MmTimerService::Instance().AdvanceVirtualTime(5);
    });
    const DWORD start = timeGetTime();
    const bool prepared = player->Prepare(fileOf(reportedChannelsFile()), 0, false);
    MmTimerService::Instance().SetArmHook({});
    ASSERT_TRUE(prepared);
    Run(100);
    const std::vector<Post> events = PostsOf(kEventMessage);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_LE(events[0].at, start + 5 + 2);
    EXPECT_EQ(PostsOf(kEndMessage).size(), 1u);
}

// The timer that fires cannot arm the next one: the schedule simply stops, and the clock no
// longer counts as running.
TEST_F(PlayerTest, AFailedTimerArmStopsTheClock)
{
    MuteAllReportTenToFifteen();
    ASSERT_TRUE(player->Prepare(fileOf(reportedChannelsFile()), 0, false));
    MmTimerService::Instance().RefuseArming(true);
    Run(10);
    MmTimerService::Instance().RefuseArming(false);
    EXPECT_EQ(PostsOf(kEventMessage).size(), 1u);
    EXPECT_FALSE(player->IsPlaying());
    Run(100);
    EXPECT_EQ(PostsOf(kEventMessage).size(), 1u);
}

TEST_F(PlayerTest, EndOfScheduleIsPostedExactlyOnceAfterTheLastEvent)
{
    MuteAllReportTenToFifteen();
    ASSERT_TRUE(player->Prepare(fileOf(reportedChannelsFile()), 0, false));
    Run(200);
    const std::vector<Post> ends = PostsOf(kEndMessage);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].message, 0u);
    EXPECT_EQ(posts.back().msg, kEndMessage);
}

TEST_F(PlayerTest, PrepareNeedsTempoRecordsStartingAtTickZeroInOrder)
{
    TrackBytes notes;
    notes.Ev(0, {0x9A, 60, 100}).Ev(50, {0x8A, 60, 0}).End();
    TrackBytes lateTempo;
    lateTempo.Tempo(10, 500000).End();
    TrackBytes tempoAt0And100;
    tempoAt0And100.Tempo(0, 500000).Tempo(100, 400000).End();
    TrackBytes tempoAt50;
    tempoAt50.Tempo(50, 300000).End();
    const std::pair<const char*, FileBytes> cases[] = {
        {"NoTempo", FileBytes(100).Track(notes)},
        {"FirstTempoAtTick10", FileBytes(100).Track(lateTempo).Track(notes)},
        {"TempoRecordsOutOfOrder", FileBytes(100).Track(tempoAt0And100).Track(tempoAt50).Track(notes)},
    };
    for (const auto& [name, file] : cases) {
        EXPECT_FALSE(player->Prepare(fileOf(file), 0, false)) << name;
        EXPECT_FALSE(player->IsPlaying()) << name;
    }
    MIDIData untimed;  // events, but no division to time them by
    MIDITrack track;
    track.AddEvent({0, 0x9A, 60, 100});
    untimed.AddTrack(track);
    EXPECT_FALSE(player->Prepare(untimed, 0, false)) << "division 0";
    EXPECT_TRUE(player->Prepare(MIDIData(), 0, false)) << "nothing to play";
    EXPECT_FALSE(player->IsPlaying());
}

TEST_F(PlayerTest, StartAfterTheLastEventSucceedsWithoutPlaying)
{
    MuteAllReportTenToFifteen();
    EXPECT_TRUE(player->Prepare(fileOf(reportedChannelsFile()), 1000, false));
    EXPECT_FALSE(player->IsPlaying());
    Run(50);
    EXPECT_TRUE(posts.empty());
}

TEST_F(PlayerTest, StartPositionSkipsEarlierEvents)
{
    MuteAllReportTenToFifteen();
    TrackBytes t;
    t.Tempo(0, 500000);
    for (std::uint8_t n = 0; n < 5; ++n)
        t.Ev(n == 0 ? 0 : 10, {0x9A, std::uint8_t(60 + n), 100});
    t.End();
    const DWORD start = timeGetTime();
    ASSERT_TRUE(player->Prepare(fileOf(FileBytes(100).Track(t)), 100, false));  // tick 20
    Run(200);
    const std::vector<Post> events = PostsOf(kEventMessage);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].message, 0x64'3E'9Au);
    EXPECT_EQ(events[2].message, 0x64'40'9Au);
    // tick 20 falls due at tick 21, one tick after the start; tick 40 at tick 41.
    EXPECT_GE(events[0].at, start + 5);
    EXPECT_LE(events[0].at, start + 7);
    EXPECT_GE(events[2].at, start + 105);
    EXPECT_LE(events[2].at, start + 107);
}

TEST_F(PlayerTest, SpeedMustLieAboveZeroAndUpToThree)
{
    const std::pair<double, bool> cases[] = {{0.0, false}, {-1.0, false}, {3.5, false}, {3.0, true}, {0.5, true}, {1.0, true}};
    for (const auto& [factor, accepted] : cases)
        EXPECT_EQ(player->SetSpeed(factor), accepted) << factor;
    EXPECT_EQ(player->GetSpeed(), 1.0);
}

TEST_F(PlayerTest, SpeedChangeWhileRunningRestartsAtTheCurrentTick)
{
    MuteAllReportTenToFifteen();
    TrackBytes t;
    t.Tempo(0, 500000);
    for (std::uint8_t n = 0; n < 5; ++n)
        t.Ev(n == 0 ? 0 : 10, {0x9A, std::uint8_t(60 + n), 100});
    t.End();
    ASSERT_TRUE(player->Prepare(fileOf(FileBytes(100).Track(t)), 0, false));
    Run(60);  // past tick 10
    ASSERT_TRUE(player->SetSpeed(2.0));
    EXPECT_TRUE(player->IsPlaying());
    Run(200);
    const std::vector<Post> events = PostsOf(kEventMessage);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_NEAR(double(events[1].at - events[0].at), 50.0, 2.0);
    EXPECT_NEAR(double(events[4].at - events[3].at), 25.0, 2.0);
}

// Ticks 0 to 10 at 5 ms per tick, then 2.5 ms per tick; the note at tick 20 is due at tick 21.
FileBytes tempoChangeFile()
{
    TrackBytes conductor;
    conductor.Tempo(0, 500000).Tempo(10, 250000).End();
    TrackBytes notes;
    notes.Ev(0, {0x9A, 60, 100}).Ev(20, {0x8A, 60, 0}).End();
    return FileBytes(100).Track(conductor).Track(notes);
}

TEST_F(PlayerTest, TempoEntriesRebaseTheClockWhenChannelOneIsNotMuted)
{
    player->AddReportChannel(10);
    player->AddMuteChannel(10);
    const DWORD start = timeGetTime();
    ASSERT_TRUE(player->Prepare(fileOf(tempoChangeFile()), 0, false));
    Run(200);
    const std::vector<Post> events = PostsOf(kEventMessage);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_NEAR(double(events[1].at - start), 50 + 11 * 2.5, 3.0);
}

TEST_F(PlayerTest, MutedChannelOneKeepsTheStartingTempo)
{
    MuteAllReportTenToFifteen();
    const DWORD start = timeGetTime();
    ASSERT_TRUE(player->Prepare(fileOf(tempoChangeFile()), 0, false));
    Run(200);
    const std::vector<Post> events = PostsOf(kEventMessage);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_NEAR(double(events[1].at - start), 21 * 5, 2.0);
}

TEST_F(PlayerTest, StartAfterATempoChangeUsesTheTempoInForceThere)
{
    MuteAllReportTenToFifteen();
    const DWORD start = timeGetTime();
    // 60 ms is past the change at tick 10 (50 ms); the start tick is counted with the first
    // tempo (tick 12), the clock then runs at 2.5 ms per tick: tick 21 is 9 ticks away.
    ASSERT_TRUE(player->Prepare(fileOf(tempoChangeFile()), 60, false));
    Run(100);
    const std::vector<Post> events = PostsOf(kEventMessage);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NEAR(double(events[0].at - start), 9 * 2.5, 2.0);
}

TEST_F(PlayerTest, StopSendsTheReleaseOfNotesSustainAndPitchBend)
{
    TrackBytes t;
    t.Tempo(0, 500000)
        .Ev(0, {0x90, 60, 100})
        .Ev(0, {0x90, 62, 100})
        .Ev(1, {0xB0, 64, 127})
        .Ev(1, {0xE0, 0x00, 0x20})
        .Ev(1, {0x80, 62, 0})
        .Ev(100, {0x80, 60, 0})
        .End();
    ASSERT_TRUE(player->Prepare(fileOf(FileBytes(100).Track(t)), 0, false));
    Run(30);
    EXPECT_EQ(TakeSent(), (std::vector<std::uint32_t>{0x64'3C'90, 0x64'3E'90, 0x7F'40'B0, 0x20'00'E0, 0x3E'80}));
    EXPECT_TRUE(player->Stop());
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_EQ(TakeSent(), (std::vector<std::uint32_t>{0x3C'80, 0x00'40'B0, 0x40'00'E0}));
    EXPECT_TRUE(player->Stop());
    Run(600);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(PlayerTest, ReleasesLeaveTheSoundingList)
{
    TrackBytes t;
    t.Tempo(0, 500000)
        .Ev(0, {0x90, 60, 100})
        .Ev(0, {0xB0, 64, 100})
        .Ev(0, {0xE0, 0x7F, 0x7F})
        .Ev(1, {0x80, 60, 0})
        .Ev(0, {0xB0, 64, 0})
        .Ev(0, {0xE0, 0x00, 0x40})
        .Ev(100, {0x90, 61, 1})
        .End();
    ASSERT_TRUE(player->Prepare(fileOf(FileBytes(100).Track(t)), 0, false));
    Run(30);
    TakeSent();
    EXPECT_TRUE(player->Stop());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(PlayerTest, EqualKeysKeepTheirFileOrder)
{
    // Forty notes stop and start again at one tick, each note-off before its note-on in the file.
    TrackBytes t;
    t.Tempo(0, 500000);
    for (std::uint8_t n = 0; n < 40; ++n)
        t.Ev(0, {0x90, std::uint8_t(40 + n), 100});
    for (std::uint8_t n = 0; n < 40; ++n)
        t.Ev(n == 0 ? 10 : 0, {0x80, std::uint8_t(40 + n), 0}).Ev(0, {0x90, std::uint8_t(40 + n), 90});
    t.Ev(100, {0x80, 40, 0}).End();
    ASSERT_TRUE(player->Prepare(fileOf(FileBytes(100).Track(t)), 0, false));
    Run(70);
    const std::vector<std::uint32_t> out = TakeSent();
    ASSERT_EQ(out.size(), 120u);
    for (std::uint32_t n = 0; n < 40; ++n) {
        EXPECT_EQ(out[40 + 2 * n], (40 + n) << 8 | 0x80) << n;
        EXPECT_EQ(out[41 + 2 * n], 90u << 16 | (40 + n) << 8 | 0x90) << n;
    }
    EXPECT_TRUE(player->Stop());
    EXPECT_EQ(TakeSent().size(), 40u);  // each note sounds once
}

TEST_F(PlayerTest, StopMarkerEndsTheWalkAndIsPostedAsTheEnd)
{
    TrackBytes t;
    t.Tempo(0, 500000).Ev(5, {0xB0, 85, 127}).Ev(5, {0x90, 60, 100}).End();
    ASSERT_TRUE(player->Prepare(fileOf(FileBytes(100).Track(t)), 0, false));
    Run(100);
    EXPECT_EQ(Sent(), (std::vector<std::uint32_t>{0x7F'55'B0}));
    const std::vector<Post> events = PostsOf(kEventMessage);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].message, 0x7F'55'B0u);
    // Once at the marker and once when the walk finds the schedule at its end.
    EXPECT_EQ(PostsOf(kEndMessage).size(), 2u);
    EXPECT_FALSE(player->IsPlaying());
}

TEST_F(PlayerTest, StopWithoutAnOpenDeviceStillStopsTheClock)
{
    ASSERT_TRUE(player->CloseDevice(0));
    player->AddReportChannel(10);
    TrackBytes t;
    t.Tempo(0, 500000).Ev(10, {0x9A, 60, 100}).End();
    ASSERT_TRUE(player->Prepare(fileOf(FileBytes(100).Track(t)), 0, true));
    ASSERT_TRUE(player->IsPlaying());
    EXPECT_TRUE(player->Stop());
    EXPECT_FALSE(player->IsPlaying());
    Run(100);
    EXPECT_TRUE(posts.empty());
}

TEST_F(PlayerTest, DestroyingWhilePlayingEndsTheTimerChain)
{
    MuteAllReportTenToFifteen();
    ASSERT_TRUE(player->Prepare(fileOf(reportedChannelsFile()), 0, false));
    Run(2);
    player.reset();
    Run(100);
    EXPECT_TRUE(PostsOf(kEndMessage).empty());
}

TEST_F(PlayerTest, PlaysAcrossTheWrapOfTheMillisecondClock)
{
    player.reset();
    ASSERT_TRUE(MmTimerService::Instance().UseVirtualTime(0xFFFFFFFFu - 12));
    player = std::make_unique<Player>();
    ASSERT_TRUE(player->SetEventWindow(window, kEventMessage));
    MuteAllReportTenToFifteen();
    const DWORD start = timeGetTime();
    ASSERT_TRUE(player->Prepare(fileOf(reportedChannelsFile()), 0, false));
    Run(100);
    const std::vector<Post> events = PostsOf(kEventMessage);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(DWORD(events[3].at - start), 25u);
}

TEST_F(PlayerTest, DevicesAndWindowsAreChecked)
{
    EXPECT_GE(player->GetDeviceCount(), 1);
    EXPECT_EQ(player->GetInDeviceCount(), 0);
    EXPECT_FALSE(player->OpenDevice(player->GetDeviceCount()));
    EXPECT_FALSE(player->OpenDevice(-1));
    EXPECT_TRUE(player->OpenDevice(0));
    EXPECT_TRUE(player->CloseDevice(7));  // not the open one
    EXPECT_TRUE(player->SendShortMsg(0x40'3C'90));
    EXPECT_TRUE(player->CloseDevice(0));
    EXPECT_FALSE(player->SendShortMsg(0x40'3C'90));
    EXPECT_TRUE(player->CloseInDevice(0));

    EXPECT_FALSE(player->SetStopMarker(85, 128, window, kEndMessage));
    EXPECT_FALSE(player->SetStopMarker(85, 127, nullptr, kEndMessage));
    EXPECT_FALSE(player->SetEventWindow(nullptr, kEventMessage));
}

TEST(Player, FirstNoteOnAfterSearchesTracksInOrder)
{
    TrackBytes first;
    first.Tempo(0, 500000).Ev(10, {0x90, 60, 100}).Ev(10, {0x80, 60, 0}).End();
    TrackBytes second;
    second.Ev(4, {0x91, 50, 100}).Ev(20, {0x91, 52, 100}).End();
    TrackBytes untimed;
    untimed.Ev(4, {0x91, 50, 100}).End();
    const MIDIData data = fileOf(FileBytes(100).Track(first).Track(second));
    const MIDIData noTempo = fileOf(FileBytes(100).Track(untimed));
    struct Case {
        const MIDIData* data;
        int startMs;
        bool inMs;
        int expected;
    };
    const Case cases[] = {
        {&data, 0, false, 10},    // the first track's note, though the second has an earlier one
        {&data, 0, true, 50},
        {&data, 55, false, 24},   // tick 11: only the second track's note at 24 is left
        {&data, 55, true, 120},
        {&data, 200, false, 40},  // nothing after: the start itself
        {&data, 200, true, 200},
        {&noTempo, 200, true, 200},
        {&noTempo, 200, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Player::FirstNoteOnAfter(*c.data, c.startMs, c.inMs), c.expected) << c.startMs << " " << c.inMs;
}

TEST(Player, PackShortMsg)
{
    const std::pair<MIDIEvent, std::uint32_t> cases[] = {
        {{0, 0x83, 60, 64}, 0x00'3C'83},     // the velocity of a note-off is not sent
        {{0, 0x93, 60, 64}, 0x40'3C'93},
        {{0, 0xA3, 60, 64}, 0x40'3C'A3},
        {{0, 0xB3, 0xC0, 0xFF}, 0x7F'40'B3}, // data masked to seven bits
        {{0, 0xC3, 5, 9}, 0x05'C3},
        {{0, 0xD3, 5, 9}, 0x05'D3},
        {{0, 0xE3, 0x7F, 0x7F}, 0x7F'7F'E3},
        {{0, 0xE3, 0x00, 0x40}, 0x40'00'E3},
        {{0, 0xF0, 1, 2}, 0},
    };
    for (const auto& [event, packed] : cases)
        EXPECT_EQ(Player::PackShortMsg(event), packed) << int(event.GetStatus());
}

TEST(Player, TicksToMsRoundsAndRefusesDivisionZero)
{
    EXPECT_EQ(Player::TicksToMs(480, 480, 500000), 500);
    EXPECT_EQ(Player::TicksToMs(1, 96, 500000), 5);    // 5.208
    EXPECT_EQ(Player::TicksToMs(1, 480, 1500), 0);     // 0.003
    EXPECT_EQ(Player::TicksToMs(3, 1000, 500000), 2);  // 1.5 rounds up
    EXPECT_EQ(Player::TicksToMs(10, 0, 500000), -1);
}

} // namespace

namespace {

// On the steady clock: the GUI thread stops, restarts and changes speed while the timer thread
// walks the schedule. Nothing is timed here; the run must neither hang nor race.
TEST(PlayerThreads, StopAndSpeedChangesWhileTheTimerChainRuns)
{
    TrackBytes t;
    t.Tempo(0, 500000);
    for (int i = 0; i < 400; ++i)
        t.Ev(1, {std::uint8_t(0x90 | (i % 16)), std::uint8_t(40 + i % 40), 100});
    t.End();
    const MIDIData data = fileOf(FileBytes(480).Track(t));
    HWND window = AllocateHWnd([](UINT, WPARAM, LPARAM) {});
    {
        Player player;
        ASSERT_TRUE(player.SetEventWindow(window, kEventMessage));
        ASSERT_TRUE(player.SetStopMarker(85, 127, window, kEndMessage));
        for (std::uint8_t c = 0; c < 16; c += 2)
            player.AddReportChannel(c);
        for (int round = 0; round < 40; ++round) {
            ASSERT_TRUE(player.Prepare(data, round % 3, round % 2 == 0));
            std::this_thread::sleep_for(std::chrono::microseconds(500 + 100 * (round % 7)));
            EXPECT_TRUE(player.SetSpeed(round % 2 ? 3.0 : 0.5));
            ProcessMessages();
            if (round % 4 != 3) {
                EXPECT_TRUE(player.Stop());
            }
        }
    }  // destroyed while the last round may still play
    ProcessMessages();
    DeallocateHWnd(window);
}

} // namespace
