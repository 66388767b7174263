// A performance on the demo content, played through the key road while SDL's disk driver keeps
// what the sound device got, then rendered into a WAV file: the file must hold, sample for
// sample, what the device played from the groove's first sound to the end of the performance.
#include "app/KorvaneFormTestContent.h"
#include "app/RenderDeadline.h"

#include "app/dialogs/TWaveFileRender.h"
#include "controls/THVPanel.h"
#include "sound/WavFile.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>

namespace {

namespace fs = std::filesystem;
using korvane_test::PumpFor;
using korvane_test::SendKey;

std::vector<std::int16_t> Raw(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::vector<std::int16_t> WavSamples(const std::string& path)
{
    WavFile wav;
    if (wav.Open(path, nullptr, WavFile::ModeRead) < 0)
        return {};
    std::vector<std::int16_t> samples(wav.GetSize() / 2);
    std::uint32_t read = 0;
    (void)wav.Read(samples.data(), wav.GetSize(), &read);
    samples.resize(read / 2);
    return samples;
}

// The first stereo frame that is not silent, or the frame count.
std::size_t FirstSound(const std::vector<std::int16_t>& s)
{
    for (std::size_t i = 0; i + 1 < s.size(); i += 2)
        if (s[i] != 0 || s[i + 1] != 0)
            return i / 2;
    return s.size() / 2;
}

class WaveRenderEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        demo = fs::canonical("/proc/self/exe").parent_path().parent_path() / "demo";
        if (!fs::exists(demo / "Korvane.DEF"))
            GTEST_SKIP() << "the build wrote no demo content at " << demo;
        capture = (out.path / "device.raw").string();
        // Each test runs in a process of its own: nothing opened the audio before.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
        EnsureApplication();
        ui = std::make_unique<CapturedUi>();
    }
    void TearDown() override
    {
        form.reset();
        korvane_test::ResetSound();
        ui.reset();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("SDL_DISKAUDIOFILE");
    }
    void Key(int key, int holdMs, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        SendKey(form.get(), true, key, modifiers);
        PumpFor(holdMs);
        SendKey(form.get(), false, key, modifiers);
    }

    fs::path demo;
    TempFolder out;
    std::string capture;
    std::unique_ptr<CapturedUi> ui;
    std::unique_ptr<TKorvaneForm> form;
};

TEST_F(WaveRenderEndToEnd, TheRenderedFileIsWhatTheDevicePlayed)
{
    form = std::make_unique<TKorvaneForm>(nullptr, demo.string() + "/");
    form->InitApplication();
    ASSERT_TRUE(ui->boxes.empty());
    TKorvaneForm& f = *form;

    f.PlayButtonClick(f.PlayButton);
    PumpFor(500);
    Key(Qt::Key_Q, 700);  // "BoxLick", locked to the groove
    PumpFor(250);
    Key(Qt::Key_R, 600);  // "Answer", at once from its start
    PumpFor(150);
    Key(Qt::Key_E, 700, Qt::ControlModifier);  // "Boogie", at the nearer subdivision of the bar
    f.HalfSpeedButton->SetVisible(true);
    f.HalfSpeedButton->SetChecked(true);
    Key(Qt::Key_W, 700);  // "Turnaround" at half speed
    PumpFor(300);
    f.StopButtonClick(f.StopButton);
    // Two periods in flight and SDL's own buffer: let the device play past the performance.
    const std::uintmax_t atStop = fs::file_size(capture);
    const auto pastStop = std::uintmax_t((4 * _AudioBufferMs + 200) * 44.1) * 4;
    const auto playedPastStop = [&] { return fs::file_size(capture) >= atStop + pastStop; };
    ASSERT_TRUE(korvane_test::PumpUntil(playedPastStop, kEventDeadlineMs));

    std::set<std::string> triggered;
    bool halfSpeed = false;
    for (std::uint32_t i = 0; i < WaveScene.GetRecordCount(); ++i) {
        const TWaveScene::LogRecord r = WaveScene.GetLogRecord(i);
        if (r.code == 0 || r.code == 2)
            triggered.insert(r.name);
        halfSpeed = halfSpeed || (r.code == 5 && r.name == "Turnaround" && r.a == 50000);
    }
    EXPECT_EQ(triggered, (std::set<std::string>{"groove", "BoxLick", "Answer", "Boogie", "Turnaround"}));
    EXPECT_TRUE(halfSpeed);

    // The render switches the device off and on again; reopened, SDL would start the capture anew.
    setenv("SDL_DISKAUDIOFILE", (out.path / "after.raw").c_str(), 1);
    const std::string wavPath = (out.path / "take.wav").string();
    TWaveFileRender render(form.get());
    ASSERT_TRUE(korvane_test::RenderWithin(render, wavPath));
    EXPECT_TRUE(ui->boxes.empty());

    const std::vector<std::int16_t> wav = WavSamples(wavPath);
    const std::vector<std::int16_t> device = Raw(capture);
    const std::size_t frames = wav.size() / 2;
    const std::size_t period = WaveScene.GetMixFrames();
    ASSERT_EQ(frames % period, 0u);
    EXPECT_EQ(frames / period, WaveScene.GetLogRecord(WaveScene.GetRecordCount() - 1).stamp + 2)
        << "up to the period after the last operation";
    // The device played silence from start-up to Play; the file starts at Play. Both start with
    // the groove's first sound, and from there on every sample must agree.
    const std::size_t wavStart = FirstSound(wav);
    const std::size_t deviceStart = FirstSound(device);
    ASSERT_LT(wavStart, frames);
    ASSERT_GE(deviceStart, wavStart);
    const std::size_t offset = deviceStart - wavStart;
    ASSERT_GE(device.size() / 2, offset + frames) << "the capture ends before the performance";
    for (std::size_t i = 0; i < frames * 2; ++i)
        if (wav[i] != device[offset * 2 + i]) {
            ADD_FAILURE() << "frame " << i / 2 << " (period " << i / 2 / period << ") differs: " << wav[i]
                          << " in the file, " << device[offset * 2 + i] << " from the device";
            break;
        }
    std::printf("[ figures ] %zu periods rendered, %.1f s of performance\n", frames / period, double(frames) / 44100);
}

}  // namespace
