// The WAV render of a recorded performance as the program runs it: three minutes of a looping
// groove with a riff triggered every two seconds (locked, quantised, at once, half speed, each
// faded out by the next), recorded against the output clock and replayed by the file writer's
// thread into a WAV file. Shown: x_realtime (performance length / wall time from Play until the
// replay ends) and the longest the polling (GUI) thread waited for the scene meanwhile.
#include "BenchWaves.h"
#include "platform/system/Threads.h"
#include "sound/TFileWaveWriter.h"
#include "sound/TWaveBuffer.h"
#include "sound/TWaveScene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kPeriodMs = 120;
constexpr std::uint32_t kPeriods = 180000 / kPeriodMs;  // three minutes
constexpr std::uint32_t kTriggerEvery = 17;              // about two seconds

// The output clock while recording: the performance is laid out period by period without a
// device, as the device writer's written count would have stamped it.
class ClockWriter : public TWaveWriter {
public:
    ClockWriter() : TWaveWriter(nullptr, nullptr) {}
    void Open(const std::string&, TWaveBuffer&) override { written_ = 0; }
    void Close() override {}
    void WriteBuffer(const void*) override {}
    int GetFreeBuffers() const override { return 0; }
    bool IsOpen() const override { return true; }
    void StopThread() override {}
    void Tick() { ++written_; }
};

struct Performance {
    std::unique_ptr<TWaveBuffer> groove = Noise(44100, 2, 44100 * 4, 1, 4);
    std::vector<std::unique_ptr<TWaveBuffer>> riffs;
    std::vector<std::string> names{"locked", "quantised", "atonce", "mono"};

    void Record(TWaveScene& scene)
    {
        riffs.push_back(Noise(44100, 2, 44100 * 2, 2, 4));
        riffs.push_back(Noise(44100, 2, 44100 * 3, 3, 4));
        riffs.push_back(Noise(44100, 2, 44100 * 2, 4, 4));
        riffs.push_back(Noise(22050, 1, 22050 * 3, 5, 4));
        scene.AddInstance(groove.get(), "groove", 0);
        for (std::size_t i = 0; i < riffs.size(); ++i) {
            scene.AddInstance(riffs[i].get(), names[i], 0);
            scene.SetInstanceRepeat(names[i], 1000);
        }
        auto clock = std::make_unique<ClockWriter>();
        ClockWriter* ticks = clock.get();
        scene.SetWriter(std::move(clock), "clock");
        scene.ClearLog();
        scene.StartRecordClock();
        scene.Recording = true;
        scene.SetInstanceVolume("groove", 0, 0.8f, 0);
        scene.PlayInstance("groove", 1000, nullptr, -1, 0);
        std::string previous;
        for (std::uint32_t p = 1; p < kPeriods; ++p) {
            ticks->Tick();
            if (p % kTriggerEvery != 0)
                continue;
            const std::string& riff = names[(p / kTriggerEvery) % names.size()];
            if (!previous.empty() && previous != riff)
                scene.FadeInstance(previous, 100, 1);
            switch ((p / kTriggerEvery) % names.size()) {
            case 0:
                scene.FadeInstance(riff, 0, 0);
                scene.SyncInstanceToInstance("groove", riff, true);
                scene.SetInstanceVolume(riff, 50, 0.9f, 0);
                scene.ResumeInstance(riff);
                break;
            case 1:
                scene.SetInstanceVolume(riff, 0, 0.9f, 0);
                scene.SetInstanceDelayMs(riff, 230);
                scene.PlayInstance(riff, -1, nullptr, -1, -1);
                break;
            default:
                scene.SetInstanceVolume(riff, 0, 0.9f, 0);
                scene.PlayInstance(riff, -1, nullptr, -1, -1);
                break;
            }
            scene.SetInstancePitch(riff, riff == "mono" ? 0.5f : 1.0f);
            previous = riff;
        }
        ticks->Tick();
        scene.StopAllInstances();
        scene.Recording = false;
    }
};

void BM_RenderThreeMinutePerformance(benchmark::State& state)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench-render-" + std::to_string(::getpid()) + ".wav")).string();
    Performance performance;
    double worstWaitMs = 0;
    double bytes = 0;
    double cpuSeconds = 0;  // of both threads: what an idle machine would take at most
    {
        TWaveScene scene;
        scene.SetSceneFormat(44100, 16, 2, kPeriodMs);
        performance.Record(scene);
        const std::uint32_t last = scene.GetLogRecord(scene.GetRecordCount() - 1).stamp;
        for (auto _ : state) {
            // The render's own steps: the scene stopped and silent, a file writer in place of the
            // device, the replay started, then the GUI thread polls until the replay ends.
            scene.Stop();
            scene.StopAllInstances();
            scene.DisableMessages();
            scene.SetoutputDevice(TWaveScene::OutputFile, path);
            auto* writer = dynamic_cast<TFileWaveWriter*>(scene.GetWriter());
            writer->SetBufferLimit(std::int32_t(last + 2));
            const Clock::time_point t0 = Clock::now();
            const std::clock_t cpu0 = std::clock();
            scene.StartReplay();
            scene.Play();
            for (;;) {
                const Clock::time_point asked = Clock::now();
                benchmark::DoNotOptimize(scene.GetReplayProgress());
                const bool replaying = scene.IsReplaying();
                worstWaitMs = std::max(worstWaitMs, std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
                if (!replaying)
                    break;
                Sleep(1);
            }
            const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
            cpuSeconds += double(std::clock() - cpu0) / CLOCKS_PER_SEC;
            scene.Stop();
            writer->Close();
            if (writer->Failed())
                state.SkipWithError("the file writer failed");
            bytes += double(writer->GetBuffersCompleted()) * scene.GetMixBuffer()->GetByteSize();
            scene.EnableMessages();
            state.SetIterationTime(wall);
        }
        state.counters["x_realtime"] =
            benchmark::Counter(double(state.iterations()) * kPeriods * kPeriodMs / 1000.0, benchmark::Counter::kIsRate);
        state.counters["cpu_x_realtime"] = double(state.iterations()) * kPeriods * kPeriodMs / 1000.0 / std::max(cpuSeconds, 1e-9);
        state.counters["gui_wait_max_ms"] = worstWaitMs;
        state.counters["MB_per_render"] = bytes / double(std::max<benchmark::IterationCount>(1, state.iterations())) / 1e6;
        scene.SetWriter(nullptr, "");
        scene.RemoveAllInstances();
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_RenderThreeMinutePerformance)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace
