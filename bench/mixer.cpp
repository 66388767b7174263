// The mixing kernel against memcpy, plain saturating adds and SDL's mixer, a whole scene render against
// its period, and the WAV render against real time. Frames are stereo 16-bit at 44100 Hz.
#include "BenchWaves.h"
#include "platform/system/Threads.h"
#include "sound/TFileWaveWriter.h"
#include "sound/TVolumer.h"
#include "sound/TWaveBuffer.h"
#include "sound/TWaveScene.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint32_t kFrames = 5292;  // one 120 ms period at 44100 Hz

// Frames written per second; Google Benchmark shows it as items_per_second.
void WriteToCase(benchmark::State& state, std::uint32_t srcRate, float pitch, bool envelopes)
{
    auto src = Noise(srcRate, 2, kFrames);
    auto dst = Noise(44100, 2, kFrames);
    TVolumer master(std::vector<float>{0.9f, 0.9f});
    TVolumer instance(std::vector<float>{1.0f, 1.0f});
    for (auto _ : state) {
        if (envelopes) {
            instance.SetVolume(std::vector<float>{1.0f, 1.0f}, 0);
            instance.AddNode(std::vector<float>{0.0f, 0.0f}, kFrames);
            master.SetVolume(std::vector<float>{0.8f, 0.8f}, kFrames);
        }
        std::uint32_t d = 0, s = 0;
        src->WriteTo(*dst, d, s, kFrames, kFrames, pitch, true, envelopes ? &instance : nullptr,
                     envelopes ? &master : nullptr);
        benchmark::DoNotOptimize(dst->GetData(0));
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kFrames);
}

void BM_WriteTo_Pitch1(benchmark::State& s) { WriteToCase(s, 44100, 1.0f, false); }
void BM_WriteTo_Pitch05(benchmark::State& s) { WriteToCase(s, 44100, 0.5f, false); }
void BM_WriteTo_Source22050(benchmark::State& s) { WriteToCase(s, 22050, 1.0f, false); }
void BM_WriteTo_Pitch1_Envelopes(benchmark::State& s) { WriteToCase(s, 44100, 1.0f, true); }
BENCHMARK(BM_WriteTo_Pitch1);
BENCHMARK(BM_WriteTo_Pitch05);
BENCHMARK(BM_WriteTo_Source22050);
BENCHMARK(BM_WriteTo_Pitch1_Envelopes);

// References for the pitch-1 case on the same bytes: the memcpy floor (the bandwidth any kernel
// is bounded by), a plain SSE2 saturating add, a scalar one, and SDL's mixer.
void BM_WriteTo_Pitch1_ref_Memcpy(benchmark::State& state)
{
    auto src = Noise(44100, 2, kFrames);
    auto dst = Noise(44100, 2, kFrames);
    for (auto _ : state) {
        std::memcpy(dst->GetData(0), src->GetData(0), src->GetByteSize());
        benchmark::DoNotOptimize(dst->GetData(0));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kFrames);
}
BENCHMARK(BM_WriteTo_Pitch1_ref_Memcpy);

void BM_WriteTo_Pitch1_ref_Sse2AddSaturate(benchmark::State& state)
{
    auto src = Noise(44100, 2, kFrames);
    auto dst = Noise(44100, 2, kFrames);
    const std::size_t n = std::size_t(kFrames) * 2;
    for (auto _ : state) {
        const auto* a = src->GetData(0);
        auto* b = dst->GetData(0);
        std::size_t i = 0;
#if defined(__SSE2__)
        for (; i + 8 <= n; i += 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 2 * i));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 2 * i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(b + 2 * i), _mm_adds_epi16(x, y));
        }
#endif
        for (; i < n; ++i) {
            std::int16_t x, y;
            std::memcpy(&x, a + 2 * i, 2);
            std::memcpy(&y, b + 2 * i, 2);
            const std::int32_t sum = std::int32_t(x) + y;
            const std::int16_t out = std::int16_t(sum > 32767 ? 32767 : (sum < -32768 ? -32768 : sum));
            std::memcpy(b + 2 * i, &out, 2);
        }
        benchmark::DoNotOptimize(b);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kFrames);
}
BENCHMARK(BM_WriteTo_Pitch1_ref_Sse2AddSaturate);

void BM_WriteTo_Pitch1_ref_ScalarAddSaturate(benchmark::State& state)
{
    auto src = Noise(44100, 2, kFrames);
    auto dst = Noise(44100, 2, kFrames);
    const std::size_t n = std::size_t(kFrames) * 2;
    for (auto _ : state) {
        const auto* a = reinterpret_cast<const std::int16_t*>(src->GetData(0));
        auto* b = reinterpret_cast<std::int16_t*>(dst->GetData(0));
        for (std::size_t i = 0; i < n; ++i) {
            const std::int32_t sum = std::int32_t(a[i]) + b[i];
            b[i] = std::int16_t(sum > 32767 ? 32767 : (sum < -32768 ? -32768 : sum));
        }
        benchmark::DoNotOptimize(b);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kFrames);
}
BENCHMARK(BM_WriteTo_Pitch1_ref_ScalarAddSaturate);

void BM_WriteTo_Pitch1_ref_SDLMixAudioFormat(benchmark::State& state)
{
    auto src = Noise(44100, 2, kFrames);
    auto dst = Noise(44100, 2, kFrames);
    for (auto _ : state) {
        SDL_MixAudioFormat(dst->GetData(0), src->GetData(0), AUDIO_S16LSB, src->GetByteSize(), SDL_MIX_MAXVOLUME);
        benchmark::DoNotOptimize(dst->GetData(0));
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kFrames);
}
BENCHMARK(BM_WriteTo_Pitch1_ref_SDLMixAudioFormat);

struct Performance {
    std::unique_ptr<TWaveBuffer> groove = Noise(44100, 2, 44100 * 4);
    std::unique_ptr<TWaveBuffer> riff = Noise(22050, 1, 22050 * 3);
    std::unique_ptr<TWaveBuffer> fade = Noise(44100, 2, 44100 * 3);

    // A groove looping, a riff at half speed and a riff fading out, as in a game.
    void Start(TWaveScene& scene)
    {
        scene.AddInstance(groove.get(), "groove", 0);
        scene.AddInstance(riff.get(), "riff", 0);
        scene.AddInstance(fade.get(), "fade", 0);
        scene.PlayInstance("groove", 1000000, nullptr, 0, 0);
        scene.PlayInstance("riff", 1000000, nullptr, 0, 0);
        scene.SetInstancePitch("riff", 0.5f);
        scene.PlayInstance("fade", 1000000, nullptr, 0, 0);
    }
    void Refade(TWaveScene& scene)
    {
        scene.SetInstanceVolume("fade", 0, 1.0f, 0);
        scene.FadeInstance("fade", 2000, 0);
    }
};

// Share of a 120 ms period one render takes (shown as period_share, lower is better).
void BM_RenderBuffer_GrooveRiffFade(benchmark::State& state)
{
    Performance p;
    {
        TWaveScene scene;
        scene.SetSceneFormat(44100, 16, 2, 120);
        p.Start(scene);
        int n = 0;
        for (auto _ : state) {
            if (n++ % 16 == 0)
                p.Refade(scene);
            scene.RenderBuffer();
        }
        state.counters["period_share"] =
            benchmark::Counter(double(state.iterations()) * 0.120, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        scene.RemoveAllInstances();
    }
}
BENCHMARK(BM_RenderBuffer_GrooveRiffFade)->Unit(benchmark::kMicrosecond);

std::string TempWav()
{
    return (std::filesystem::temp_directory_path() / ("bench-mixer-" + std::to_string(::getpid()) + ".wav")).string();
}

// Render and append as fast as possible: the WAV render's own cost, as a multiple of real time.
void BM_WavRender_RenderAndAppend(benchmark::State& state)
{
    Performance p;
    const std::string path = TempWav();
    {
        TWaveScene scene;
        scene.SetSceneFormat(44100, 16, 2, 120);
        p.Start(scene);
        TWaveBuffer out(scene.GetMixFrames(), scene.GetMixBuffer()->GetFormat());
        out.CreateWaveFile(path);
        for (auto _ : state) {
            scene.RenderBuffer();
            std::memcpy(out.GetData(0), scene.GetMixBuffer()->GetData(0), out.GetByteSize());
            benchmark::DoNotOptimize(out.AppendToWaveFile());
        }
        state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()) * 0.120, benchmark::Counter::kIsRate);
        out.CloseWaveFile();
        scene.RemoveAllInstances();
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_WavRender_RenderAndAppend)->Unit(benchmark::kMicrosecond);

// The file writer as the application runs it: its thread renders and appends period after period.
void BM_WavRender_FileWriterThread(benchmark::State& state)
{
    Performance p;
    const std::string path = TempWav();
    constexpr int kPeriods = 50;
    {
        TWaveScene scene;
        scene.SetSceneFormat(44100, 16, 2, 120);
        p.Start(scene);
        for (auto _ : state) {
            scene.SetoutputDevice(TWaveScene::OutputFile, path);
            const auto t0 = std::chrono::steady_clock::now();
            scene.Play();
            while (scene.GetWriter()->GetBuffersCompleted() < kPeriods)
                Sleep(1);
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            scene.Stop();
            state.SetIterationTime(wall);
        }
        state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()) * kPeriods * 0.120, benchmark::Counter::kIsRate);
        scene.SetWriter(nullptr, "");
        scene.RemoveAllInstances();
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_WavRender_FileWriterThread)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
