// One key press through the whole program on the generated demo content: the sound goes to SDL's
// disk driver, whose file holds exactly what the mixer produced, and the MIDI output is watched.
// Prints the latency from the key press to the riff's first sample in that output, and from a
// "NOTEON" event to its spot on the fretboard image. The bounds on those times only catch a riff
// or a note that waits for something (a bar of the groove, a timer that never fires): the
// two-buffer latency is a goal of bench/latency.cpp, measured there.
#include "app/KorvaneFormTestContent.h"

#include "app/dialogs/BitmapToQImage.h"
#include "app/game/Kvwavescene.h"
#include "app/game/TFretboardObj.h"
#include "config/TDVContext.h"
#include "controls/THVPanel.h"
#include "platform/multimedia/MidiOut.h"
#include "platform/ui/TImage.h"
#include "platform/drawing/TPicture.h"
#include "sound/midi/Player.h"
#include "sound/TWaveScene.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using korvane_test::EventLog;
using korvane_test::PumpFor;
using korvane_test::PumpUntil;
using korvane_test::SendKey;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Far above what any machine takes on the key road (two audio buffers, tens of milliseconds when
// the machine is loaded) and below the demo riffs' bar of 2.4 s that a wrongly locked riff waits for.
constexpr double kRoadBoundMs = 1000.0;

double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        demo = fs::canonical("/proc/self/exe").parent_path().parent_path() / "demo";
        if (!fs::exists(demo / "Korvane.DEF"))
            GTEST_SKIP() << "the build wrote no demo content at " << demo;
        output = (out.path / "mix.raw").string();
        // The device opens only at start-up below, so the driver read then is this one; it is put
        // back afterwards for the tests that follow in the same process.
        for (const char* name : {"SDL_AUDIODRIVER", "SDL_DISKAUDIOFILE"})
            if (const char* value = std::getenv(name))
                savedEnvironment.emplace_back(name, value);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
        EnsureApplication();
        ui = std::make_unique<CapturedUi>();
        SetMidiOutMonitor([this](UINT, DWORD) { ++midiSent; });
    }
    void TearDown() override
    {
        form.reset();
        korvane_test::ResetSound();
        SetMidiOutMonitor({});
        ui.reset();
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
        for (const auto& [name, value] : savedEnvironment)
            setenv(name.c_str(), value.c_str(), 1);
    }

    QImage Fretboard() const { return BitmapToQImage(*form->FretboardAreaImage->Picture()->Bitmap()); }
    void PressPlayRelease(int bufferMs);

    fs::path demo;
    TempFolder out;
    std::string output;
    std::unique_ptr<CapturedUi> ui;
    std::unique_ptr<TKorvaneForm> form;
    std::atomic<int> midiSent{0};
    std::vector<std::pair<std::string, std::string>> savedEnvironment;
};

// bufferMs 0 keeps the content's buffer setting; another value replaces it after start-up.
void EndToEnd::PressPlayRelease(int bufferMs)
{
    form = std::make_unique<TKorvaneForm>(nullptr, demo.string() + "/");
    form->InitApplication();
    ASSERT_TRUE(ui->boxes.empty()) << ui->boxes.front().text;
    TKorvaneForm& f = *form;
    if (bufferMs > 0) {
        // As at start-up, from a stopped scene: Play opens the new writer only from stopped.
        WaveScene.Stop();
        ASSERT_TRUE(InitKVWaveScene(std::uint32_t(bufferMs)));
        _AudioBufferMs = bufferMs;
    }
    EventLog& log = korvane_test::AttachEventLog(f);

    // A silent groove, so the first sound after the press is the riff's.
    f.Root()->SetFloat("settings.groove_volume", 0.0f);
    f.Root()->SetBool("settings.ShowUpcomingNotes", true);
    f.PlayButtonClick(f.PlayButton);
    // The disk driver writes through a buffered file, so its size lags behind what the mixer
    // produced by up to that buffer: the frames out at the press are extrapolated from the last
    // moments the size grew.
    std::vector<std::pair<Clock::time_point, std::uintmax_t>> sizes;
    PumpUntil(
        [&] {
            const std::uintmax_t size = fs::file_size(output);
            if (sizes.empty() || sizes.back().second != size)
                sizes.emplace_back(Clock::now(), size);
            return false;
        },
        600);
    const QImage idle = Fretboard();

    // "R" plays "Answer", which starts at once from its beginning.
    const Clock::time_point pressed = Clock::now();
    double framesAtPress = double(fs::file_size(output)) / 4;
    for (const auto& [at, size] : sizes)
        if (pressed - at < std::chrono::milliseconds(250))
            framesAtPress = std::max(framesAtPress, double(size) / 4 + Ms(pressed - at) * 44.1);
    SendKey(form.get(), true, Qt::Key_R);
    ASSERT_EQ(f.SoundingRiff(), "Answer");

    Clock::time_point spotShown{};
    double tickCpuMs = 0;
    int ticks = 0;
    PumpUntil(
        [&] {
            if (spotShown == Clock::time_point{} && log.Find("NOTEON") >= 0 && Fretboard() != idle)
                spotShown = Clock::now();
            return spotShown != Clock::time_point{} && log.Count("UPC_NOTEON") > 0;
        },
        kEventDeadlineMs);
    // The cost of the events timer's work while the riff plays and its notes are shown.
    for (int i = 0; i < 10; ++i) {
        const double before = ThreadCpuMs();
        f.EventsTimerTimer(nullptr);
        tickCpuMs += ThreadCpuMs() - before;
        ++ticks;
        PumpFor(50);
    }

    const int firstNote = log.Find("NOTEON");
    ASSERT_GE(firstNote, 0) << "no NOTEON reached the environment";
    for (const EventLog::Entry& e : log.entries)
        if (e.name == "NOTEON") {
            EXPECT_GE(e.param >> 8, 10);
            EXPECT_LE(e.param >> 8, 15);
        }
    const double firstNoteMs = Ms(log.entries[std::size_t(firstNote)].at - pressed);
    ASSERT_NE(spotShown, Clock::time_point{}) << "no spot appeared on the fretboard image";
    EXPECT_GT(log.Count("UPC_NOTEON"), 0) << "the riff's later notes are announced";
    EXPECT_NE(Fretboard(), idle);

    const int midiOffBefore = log.Count("MIDIOFF");
    SendKey(form.get(), false, Qt::Key_R);
    EXPECT_NE(log.Find("STOPRIFF:Answer"), -1);
    EXPECT_GT(log.Count("MIDIOFF"), midiOffBefore);
    const int midiOffAtRelease = log.Count("MIDIOFF");
    EXPECT_TRUE(PumpUntil([] { return !WaveScene.IsInstancePlaying("Answer"); }, kEventDeadlineMs)) << "the fade ends";
    EXPECT_TRUE(PumpUntil([&] { return log.Count("MIDIOFF") > midiOffAtRelease; }, kEventDeadlineMs))
        << "the stop notification after the fade";
    EXPECT_FALSE(f.MidiPlayer()->IsPlaying());
    EXPECT_TRUE(PumpUntil([&] { return Fretboard() == idle; }, kEventDeadlineMs)) << "the spots are gone";
    EXPECT_EQ(midiSent.load(), 0) << "nothing reaches the MIDI device";

    f.StopButtonClick(nullptr);
    PumpFor(100);
    std::ifstream in(output, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t frameBytes = 4;
    const std::size_t from = std::size_t(framesAtPress);
    std::size_t first = from;
    const std::size_t frames = bytes.size() / frameBytes;
    auto sample = [&](std::size_t frame, int ch) {
        std::int16_t v = 0;
        std::memcpy(&v, bytes.data() + frame * frameBytes + std::size_t(ch) * 2, 2);
        return v;
    };
    while (first < frames && sample(first, 0) == 0 && sample(first, 1) == 0)
        ++first;
    ASSERT_LT(first, frames) << "the riff never reached the output";
    const double bufferFrames = _AudioBufferMs * 44.1;
    const double latencyMs = double(first - from) / 44.1;
    EXPECT_LE(latencyMs, kRoadBoundMs) << "the riff starts at once";
    // The riff's first note lies at its start: its NOTEON comes with the riff's first sound.
    EXPECT_LE(std::abs(firstNoteMs - latencyMs), kRoadBoundMs) << "NOTEON in time with the riff";
    const double noteToSpotMs = Ms(spotShown - log.entries[std::size_t(firstNote)].at);
    std::printf("[ figures ] key press to first riff sample: %.1f ms = %.2f buffers of %d ms\n", latencyMs,
                double(first - from) / bufferFrames, _AudioBufferMs);
    std::printf("[ figures ] key press to first NOTEON: %.1f ms; NOTEON to spot on the fretboard image: %.1f ms\n",
                firstNoteMs, noteToSpotMs);
    std::printf("[ figures ] EventsTimer tick CPU while the riff plays: %.2f ms per tick (%.1f %% of 50 ms)\n",
                tickCpuMs / ticks, tickCpuMs / ticks / 50.0 * 100.0);
    RecordProperty("press_to_sample_ms", std::to_string(latencyMs));
    RecordProperty("noteon_to_spot_ms", std::to_string(noteToSpotMs));
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(EndToEnd, KeyPressPlaysTheRiffShowsItsNotesAndReleaseStopsIt) { PressPlayRelease(0); }

// The shortest buffer setting offered for low latency (its latency is measured in bench/latency.cpp).
TEST_F(EndToEnd, KeyPressWithShortBuffersPlaysTheRiffShowsItsNotesAndReleaseStopsIt) { PressPlayRelease(20); }

TEST_F(EndToEnd, DemoRiffsCutIntoClipsAtEveryStepSetting)
{
    form = std::make_unique<TKorvaneForm>(nullptr, demo.string() + "/");
    form->InitApplication();
    ASSERT_TRUE(ui->boxes.empty());
    TKorvaneForm& f = *form;
    for (const char* riff : {"BoxLick", "Answer"}) {
        f.SelectRiff(riff, 0);
        int previous = 0;
        // Note groups, then slices of 1, 1/2, 1/4 and 1/8 bar: each finer than the one before.
        for (int step = -1; step <= 3; ++step) {
            f.SetStepAdvance(step);
            const int clips = f.BuildRiffClips();
            EXPECT_GT(clips, step < 1 ? 0 : previous) << riff << " step " << step;
            previous = clips;
        }
    }
    EXPECT_TRUE(ui->boxes.empty());
}

}  // namespace
