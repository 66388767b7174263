// Key press to sound, on the program itself: the main window on the demo content the build wrote,
// its groove silent, its sound on SDL's disk driver, whose file holds exactly what the mixer
// produced. Each press of "R" plays "Answer", which starts at once from its beginning and has a
// note at its start; the riff's first sample is looked up in the file, and the key is released.
// Per buffer setting (the argument, in ms) and over RT_LATENCY_PRESSES presses (20 by default):
//   press_to_sample_ms      the median delay from the press to that sample. Two buffers are in
//                           flight, and the file grows in steps of its stdio buffer, so the output
//                           position at the press is known to a few ms only: the goal is two
//                           buffers plus 5 ms;
//   press_to_sample_max_ms  the longest of them;
//   noteon_after_sound_ms   the median delay from that sample to the riff's first NOTEON reaching
//                           the environment (negative: the note came before its sound).
#include "app/game/Kvwavescene.h"
#include "app/game/TGameObj.h"
#include "app/game/TKorvaneEnv.h"
#include "app/mainform/ProgramEnd.h"
#include "app/mainform/TKorvaneForm.h"
#include "config/TDVContext.h"
#include "controls/THVPanel.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/ui/MessageBox.h"
#include "sound/TWaveContainer.h"
#include "sound/TWaveScene.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kFramesPerMs = 44.1;
constexpr std::uintmax_t kFrameBytes = 4;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

int Presses()
{
    const char* text = std::getenv("RT_LATENCY_PRESSES");
    const int n = text ? std::atoi(text) : 20;
    return n > 0 ? n : 20;
}

// Runs the event loop until done() holds or ms have passed; returns done()'s last answer.
bool PumpUntil(const std::function<bool()>& done, int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        if (done())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

void SendKey(QWidget* window, QEvent::Type type)
{
    QKeyEvent event(type, Qt::Key_R, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
}

// The time the first "NOTEON" after Arm() reached the environment.
class NoteWatch : public TGameObj {
public:
    explicit NoteWatch(TGameEnvObj* env) : TGameObj(env) { env->Subscribe("NOTEON", this); }
    void OnEvent(const TGameEnvObj::TGameEvent&, std::int32_t) override
    {
        if (armed && at == Clock::time_point{})
            at = Clock::now();
    }
    void Arm()
    {
        armed = true;
        at = {};
    }
    bool armed = false;
    Clock::time_point at{};
};

// The frame the output had reached at `now`: the file lags behind the mixer by up to its stdio
// buffer, so the moments it grew (the last 250 ms of them) are extrapolated to now.
double FramesAt(Clock::time_point now, const std::vector<std::pair<Clock::time_point, std::uintmax_t>>& growth,
                std::uintmax_t size)
{
    double frames = double(size / kFrameBytes);
    for (const auto& [at, bytes] : growth)
        if (now - at < std::chrono::milliseconds(250))
            frames = std::max(frames, double(bytes / kFrameBytes) + Ms(now - at) * kFramesPerMs);
    return frames;
}

// The first frame from `from` on with a sample other than 0; -1 when the file has none yet.
std::int64_t FirstSound(const std::string& file, std::uintmax_t from)
{
    std::ifstream in(file, std::ios::binary);
    in.seekg(std::streamoff(from * kFrameBytes));
    std::int16_t frame[2] = {0, 0};
    for (std::uintmax_t i = from; in.read(reinterpret_cast<char*>(frame), sizeof frame); ++i)
        if (frame[0] != 0 || frame[1] != 0)
            return std::int64_t(i);
    return -1;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_KeyPressToFirstSample(benchmark::State& state)
{
    const auto bufferMs = std::uint32_t(state.range(0));
    const fs::path output = fs::temp_directory_path() / ("korvane-latency-" + std::to_string(::getpid()) + ".raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    EnsureApplication();
    std::string failure;
    const TMessageBoxHandler boxBefore = SetMessageBoxHandler([&](const TMessageBoxRequest& r) {
        failure = r.text;
        return DefaultMessageBoxAnswer(r.flags);
    });
    const TProgramEndHandler endBefore = SetProgramEndHandler([&](int) { failure = "the program ended"; });

    for (auto _ : state) {
        auto form = std::make_unique<TKorvaneForm>(nullptr, std::string(RT_DEMO_DIR) + "/");
        form->InitApplication();
        WaveScene.Stop();
        if (!failure.empty() || !InitKVWaveScene(bufferMs)) {
            state.SkipWithError(("the program did not start: " + failure).c_str());
            break;
        }
        _AudioBufferMs = int(bufferMs);
        auto watch = std::make_unique<NoteWatch>(form->Env());
        NoteWatch& notes = *watch;
        form->Env()->AddObject(std::move(watch));
        form->Root()->SetFloat("settings.groove_volume", 0.0f);
        form->PlayButtonClick(form->PlayButton);

        std::vector<double> latencies;
        std::vector<double> noteLags;
        for (int press = 0; press < Presses() && failure.empty(); ++press) {
            // The previous riff has faded out; the output's growth is watched for a while.
            PumpUntil([] { return !WaveScene.IsInstancePlaying("Answer"); }, 30000);
            std::vector<std::pair<Clock::time_point, std::uintmax_t>> growth;
            PumpUntil(
                [&] {
                    const std::uintmax_t size = fs::file_size(output);
                    if (growth.empty() || growth.back().second != size)
                        growth.emplace_back(Clock::now(), size);
                    return false;
                },
                300);
            const Clock::time_point pressed = Clock::now();
            const auto from = std::uintmax_t(FramesAt(pressed, growth, fs::file_size(output)));
            notes.Arm();
            SendKey(form.get(), QEvent::KeyPress);
            std::int64_t first = -1;
            const bool heard = PumpUntil(
                [&] {
                    if (first < 0)
                        first = FirstSound(output, from);
                    return first >= 0 && notes.at != Clock::time_point{};
                },
                30000);
            SendKey(form.get(), QEvent::KeyRelease);
            if (!heard) {
                failure = "no riff sample or no NOTEON within 30 s of the press";
                break;
            }
            const double latency = double(std::uintmax_t(first) - from) / kFramesPerMs;
            latencies.push_back(latency);
            noteLags.push_back(Ms(notes.at - pressed) - latency);
        }
        form->StopButtonClick(nullptr);
        form.reset();
        WaveScene.RemoveAllInstances();
        WaveContainer.Clear();
        WaveScene.Clear();
        WaveScene.SetWriter(nullptr, std::string());
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
        state.SetIterationTime(Median(latencies) / 1000.0);
        state.counters["press_to_sample_ms"] = Median(latencies);
        state.counters["press_to_sample_max_ms"] = *std::max_element(latencies.begin(), latencies.end());
        state.counters["noteon_after_sound_ms"] = Median(noteLags);
        state.counters["buffer_ms"] = double(bufferMs);
    }
    SetMessageBoxHandler(boxBefore);
    SetProgramEndHandler(endBefore);
    std::error_code ignored;
    fs::remove(output, ignored);
}
BENCHMARK(BM_KeyPressToFirstSample)->Arg(20)->Arg(120)->Iterations(1)->Repetitions(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
