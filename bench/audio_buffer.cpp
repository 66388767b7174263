// Short audio buffers on the device path: the scene plays a looping groove and starts one of
// three riffs every 250 ms (a fade on each) through the wave-out device, on SDL's disk driver,
// which pulls in real time and writes to /dev/null. Per buffer setting it counts the gaps (the
// device wanted sound while the writer had fallen behind) over RT_AUDIO_SECONDS seconds (5 by
// default; scripts/audio_check.sh runs 60 beside a load). Two buffers are in flight, so a riff
// started by a key press reaches the output at most two buffers later (bench/latency.cpp measures
// that on the program itself).
#include "BenchWaves.h"
#include "platform/system/Threads.h"
#include "platform/multimedia/WaveOut.h"
#include "sound/TWaveBuffer.h"
#include "sound/TWaveScene.h"
#include "sound/TWaveWriter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

double Seconds()
{
    const char* text = std::getenv("RT_AUDIO_SECONDS");
    const double s = text ? std::atof(text) : 5.0;
    return s > 0 ? s : 5.0;
}

// Counters: gaps (underruns, the figure that must stay 0) and the periods played.
void BM_DeviceGaps(benchmark::State& state)
{
    const auto bufferMs = std::uint32_t(state.range(0));
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    auto groove = Noise(44100, 2, 44100 * 4, 1, 4);
    std::vector<std::unique_ptr<TWaveBuffer>> riffs;
    for (std::uint32_t i = 0; i < 3; ++i)
        riffs.push_back(Noise(i == 1 ? 22050 : 44100, i == 2 ? 2 : 1, 44100, 10 + i, 4));
    const std::vector<std::string> names = {"riff0", "riff1", "riff2"};
    for (auto _ : state) {
        TWaveScene scene;
        scene.SetSceneFormat(44100, 16, 2, bufferMs);
        scene.AddInstance(groove.get(), "groove", 0);
        for (std::size_t i = 0; i < riffs.size(); ++i)
            scene.AddInstance(riffs[i].get(), names[i], 0);
        scene.SetoutputDevice(TWaveScene::OutputDevice, "0");
        scene.PlayInstance("groove", 1000000, nullptr, 0, 0);
        const std::uint64_t gapsBefore = waveOutUnderruns();
        const auto t0 = std::chrono::steady_clock::now();
        scene.Play();
        const double seconds = Seconds();
        for (int step = 0;; ++step) {
            const double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            if (at >= seconds)
                break;
            const std::string& riff = names[std::size_t(step) % names.size()];
            scene.SetInstanceVolume(riff, 0, 1.0f, 0);
            scene.PlayInstance(riff, 0, nullptr, 0, 0);
            scene.FadeInstance(riff, 400, 0);
            Sleep(250);
        }
        const std::uint64_t gaps = waveOutUnderruns() - gapsBefore;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const std::int32_t periods = scene.GetWriter()->GetBuffersCompleted();
        scene.Stop();
        scene.SetWriter(nullptr, "");
        scene.RemoveAllInstances();
        state.SetIterationTime(wall);
        state.counters["gaps"] = double(gaps);
        state.counters["periods"] = double(periods);
    }
}
BENCHMARK(BM_DeviceGaps)->Arg(20)->Arg(15)->Arg(10)->Arg(8)->Arg(6)->Iterations(1)->Repetitions(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
