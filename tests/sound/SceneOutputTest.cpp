// The scene driving its real writers: a replayed performance rendered into a WAV file, and a
// render played through SDL's disk driver.
#include "sound/TWaveScene.h"

#include "platform/system/Threads.h"
#include "FakeWaveWriter.h"
#include "SoundEnv.h"
#include "WavFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>

namespace {

std::unique_ptr<TWaveBuffer> Wave(std::uint32_t rate, std::uint16_t channels, std::uint32_t frames, int seed)
{
    std::vector<std::int16_t> s(std::size_t(frames) * channels);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = std::int16_t((int(i) * seed) % 20000 - 10000);
    WAVEFORMATEX f;
    InitWaveFormat(f, rate, channels, 16);
    return std::make_unique<TWaveBuffer>(frames, f, s.data());
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

bool WaitFor(const std::function<bool()>& done, int ms = 10000)
{
    for (int i = 0; i < ms / 5; ++i) {
        if (done())
            return true;
        Sleep(5);
    }
    return done();
}

TEST(SceneOutput, ReplayIntoTheFileWriterRendersTheRecordedSamples)
{
    constexpr int kBuffers = 16;
    auto groove = Wave(8000, 2, 500, 7);
    auto riff = Wave(4000, 1, 300, 13);
    TWaveScene scene;
    scene.SetSceneFormat(8000, 16, 2, 10);  // 80 frames per period
    auto fake = std::make_unique<FakeWaveWriter>(&scene);
    FakeWaveWriter* writer = fake.get();
    scene.SetWriter(std::move(fake), "fake");
    scene.AddInstance(groove.get(), "groove", 0);
    scene.AddInstance(riff.get(), "riff", 0);
    scene.Play();

    // The performance: operations between periods, as the GUI thread would call them.
    scene.ClearLog();
    scene.StartRecordClock();
    scene.Recording = true;
    for (int i = 0; i < kBuffers; ++i) {
        if (i == 0)
            scene.PlayInstance("groove", 3, nullptr, 0, 0);
        if (i == 2)
            scene.PlayInstance("riff", 0, nullptr, 0, 0);
        if (i == 4)
            scene.FadeInstance("riff", 25, 1);
        if (i == 6)
            scene.SetInstancePitch("groove", 0.5f);
        if (i == 9)
            scene.SetInstanceVolume("groove", 20, 0.25f, 0);
        if (i == 11)
            scene.SyncInstancePosition("groove", true);
        writer->Step();
    }
    scene.Recording = false;
    ASSERT_EQ(writer->buffers.size(), std::size_t(kBuffers));
    std::vector<std::vector<std::int16_t>> recorded;
    for (int b = 0; b < kBuffers; ++b)
        recorded.push_back(writer->Samples16(std::size_t(b)));

    // The render: the same start state, then the log replayed into a WAV file.
    wavfixture::TempDir dir;
    const std::string path = dir.File("render.wav");
    scene.Stop();
    scene.StopAllInstances();
    scene.AddInstance(groove.get(), "groove", 0);
    scene.AddInstance(riff.get(), "riff", 0);
    scene.SetoutputDevice(TWaveScene::OutputFile, path);
    scene.DisableMessages();
    scene.StartReplay();
    scene.Play();
    ASSERT_TRUE(WaitFor([&] { return scene.GetWriter()->GetBuffersWritten() >= kBuffers + 1; }));
    scene.SetWriter(nullptr, "");  // stops the thread and finishes the file

    const std::vector<std::int16_t> rendered = WavSamples(path);
    const std::size_t perBuffer = recorded[0].size();
    ASSERT_GE(rendered.size(), kBuffers * perBuffer);
    for (int b = 0; b < kBuffers; ++b) {
        const std::vector<std::int16_t>& expected = recorded[std::size_t(b)];
        const std::vector<std::int16_t> got(rendered.begin() + std::ptrdiff_t(b * perBuffer),
                                            rendered.begin() + std::ptrdiff_t((b + 1) * perBuffer));
        ASSERT_EQ(got, expected) << "buffer " << b;
    }
}

TEST(SceneOutput, WhatReachesTheDeviceIsWhatTheSceneRendered)
{
    wavfixture::TempDir dir;
    const std::string capture = dir.File("device.raw");
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", capture);
    // 300 ms without any zero sample, so that silence in the capture (before, after, or where a
    // loaded machine let the device run dry between two periods) can be told from the wave.
    constexpr std::uint32_t kWaveFrames = 13230;
    auto wave = Wave(44100, 2, kWaveFrames, 31);
    for (std::uint32_t i = 0; i < kWaveFrames * 2; ++i) {
        auto* sample = reinterpret_cast<std::int16_t*>(wave->GetData(0)) + i;
        if (*sample == 0)
            *sample = 1;
    }
    const auto* expected = reinterpret_cast<const std::int16_t*>(wave->GetData(0));
    {
        TWaveScene scene;
        scene.SetSceneFormat(44100, 16, 2, 100);
        scene.SetoutputDevice(TWaveScene::OutputDevice, "0");
        scene.AddInstance(wave.get(), "w", 0);
        scene.PlayInstance("w", 0, nullptr, 0, 0);
        scene.Play();
        ASSERT_TRUE(WaitFor([&] { return !scene.IsInstancePlaying("w"); }));
        const std::int32_t after = scene.GetWriter()->GetBuffersWritten();
        ASSERT_TRUE(WaitFor([&] { return scene.GetWriter()->GetBuffersCompleted() >= after; }));
        scene.Stop();
        scene.RemoveAllInstances();
    }
    const wavfixture::Bytes raw = wavfixture::ReadFile(capture);
    std::vector<std::int16_t> got(raw.size() / 2);
    std::memcpy(got.data(), raw.data(), got.size() * 2);
    std::vector<std::int16_t> sound;
    std::copy_if(got.begin(), got.end(), std::back_inserter(sound), [](std::int16_t v) { return v != 0; });
    ASSERT_EQ(sound.size(), std::size_t(kWaveFrames * 2));
    EXPECT_TRUE(std::equal(expected, expected + kWaveFrames * 2, sound.begin()));
}

} // namespace
