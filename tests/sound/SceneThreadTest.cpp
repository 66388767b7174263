// The scene's operations on the test (GUI) thread against writers whose threads render at the same
// time. Built as its own binary so that CI runs it under ThreadSanitizer.
#include "sound/TWaveScene.h"

#include "platform/system/Threads.h"
#include "sound/MyLock.h"
#include "WavFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

std::unique_ptr<TWaveBuffer> Wave(std::uint32_t frames)
{
    std::vector<std::int16_t> s(std::size_t(frames) * 2);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = std::int16_t(i * 37 % 8000);
    WAVEFORMATEX f;
    InitWaveFormat(f, 44100, 2, 16);
    return std::make_unique<TWaveBuffer>(frames, f, s.data());
}

// Runs f on another thread; a call that has not returned within the limit counts as a deadlock,
// and the process ends (a deadlocked thread cannot be joined).
void WithinSeconds(int seconds, const std::function<void()>& f)
{
    std::atomic<bool> done{false};
    std::thread t([&] {
        f();
        done = true;
    });
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done && std::chrono::steady_clock::now() < limit)
        Sleep(5);
    if (!done) {
        ADD_FAILURE() << "deadlock";
        std::_Exit(1);
    }
    t.join();
}

// A burst of every kind of operation, as a user at the keyboard would cause them.
void Exercise(TWaveScene& scene, TWaveBuffer& groove, TWaveBuffer& riff, int rounds)
{
    const std::vector<float> half{0.5f, 0.5f};
    std::string name;
    std::uint32_t code = 0;
    for (int i = 0; i < rounds; ++i) {
        scene.AddInstance(&riff, "riff", 0);
        scene.SetInstanceNotify("riff", 255);
        scene.PlayInstance("riff", i % 3, i % 2 ? &half : nullptr, i * 7, 0);
        scene.SetInstancePitch("riff", i % 2 ? 0.5f : 1.5f);
        scene.SyncInstanceToInstance("groove", "riff", true);
        scene.SyncInstancePosition("groove", true);
        scene.AddInstance(&riff, "", 0);
        scene.PlayInstance("", 0, nullptr, 0, 0);
        scene.InstanceAddVolumeNodeCh("groove", 5, half, 0);
        scene.SetInstanceVolume("groove", 5, 1.0f, 0);
        Sleep(1);
        scene.FadeInstance("riff", 3, std::uint8_t(1 + i % 2));
        if (i % 10 == 9)
            scene.StopAllInstances();
        if (!scene.FindInstancePtr("groove")) {
            scene.AddInstance(&groove, "groove", 0);
            scene.PlayInstance("groove", 1000, nullptr, 0, 0);
        }
        while (scene.PopInstanceMessage(name, code)) {
        }
        (void)scene.GetReplayProgress();
    }
}

class SceneThreads : public ::testing::Test {
protected:
    void SetUp() override
    {
        groove = Wave(44100);
        riff = Wave(5000);
        scene = std::make_unique<TWaveScene>();
        scene->SetSceneFormat(44100, 16, 2, 5);
        scene->SetOwnerWindow(reinterpret_cast<HWND>(std::uintptr_t(0xDEAD)));  // queue, post nowhere
        scene->AddInstance(groove.get(), "groove", 0);
        scene->PlayInstance("groove", 1000, nullptr, 0, 0);
    }
    void TearDown() override
    {
        scene.reset();  // before the waves its instances hold
    }

    std::unique_ptr<TWaveBuffer> groove, riff;
    std::unique_ptr<TWaveScene> scene;
    wavfixture::TempDir dir;
};

TEST_F(SceneThreads, OperationsRaceTheFileWriterThread)
{
    scene->SetoutputDevice(TWaveScene::OutputFile, dir.File("a.wav"));
    scene->ClearLog();
    scene->StartRecordClock();
    scene->Recording = true;
    scene->Play();
    Exercise(*scene, *groove, *riff, 60);
    scene->Recording = false;
    EXPECT_GT(scene->GetWriter()->GetBuffersWritten(), 0);
    EXPECT_EQ(scene->GetWriter()->GetCallbackErrors(), 0);
    scene->Stop();
    scene->GetWriter()->Close();
    // The performance again, replayed by the writer's thread while the GUI thread watches.
    scene->StopAllInstances();
    scene->GetWriter()->Open(dir.File("b.wav"), *scene->GetMixBuffer());
    scene->StartReplay();
    scene->Play();
    for (int i = 0; i < 200 && scene->IsReplaying(); ++i)
        (void)scene->GetReplayProgress(), Sleep(5);
    WithinSeconds(60, [&] { scene->SetWriter(nullptr, ""); });
}

TEST_F(SceneThreads, OperationsRaceTheDeviceFeederThread)
{
    scene->SetoutputDevice(TWaveScene::OutputDevice, "0");
    scene->Play();
    Exercise(*scene, *groove, *riff, 60);
    for (int i = 0; i < 6000 && scene->GetWriter()->GetBuffersCompleted() <= 2; ++i)
        Sleep(5);  // a loaded machine may not have played much yet
    EXPECT_GT(scene->GetWriter()->GetBuffersCompleted(), 2);
    EXPECT_EQ(scene->GetWriter()->GetCallbackErrors(), 0);
    scene->Pause();
    scene->Play();
    scene->SetSceneFormat(22050, 16, 2, 10);  // reopens the device while the feeder runs
    Exercise(*scene, *groove, *riff, 10);
    WithinSeconds(60, [&] { scene->SetoutputDevice(TWaveScene::OutputFile, dir.File("c.wav")); });
}

TEST_F(SceneThreads, ReplacingAWriterWhoseThreadWaitsForTheLockDoesNotDeadlock)
{
    for (int kind : {TWaveScene::OutputFile, TWaveScene::OutputDevice}) {
        scene->SetoutputDevice(kind, kind == TWaveScene::OutputFile ? dir.File("d.wav") : "0");
        scene->Play();
        std::atomic<bool> holding{false};
        std::thread holder([&] {
            MyLock lock(scene->GetLock());
            lock.Lock();
            holding = true;
            Sleep(150);  // the writer's thread queues up behind this
        });
        while (!holding)
            Sleep(1);
        WithinSeconds(60, [&] { scene->SetoutputDevice(TWaveScene::OutputFile, dir.File("e.wav")); });
        holder.join();
        scene->Stop();
    }
}

TEST_F(SceneThreads, NotificationsFromTheWriterThreadReachTheWindow)
{
    std::vector<std::uint32_t> codes;
    int posts = 0;
    HWND window = AllocateHWnd([&](UINT msg, WPARAM w, LPARAM) {
        ++posts;
        auto* from = reinterpret_cast<TWaveScene*>(w);
        std::string name;
        std::uint32_t code = 0;
        while (from->PopInstanceMessage(name, code))
            if (name == "riff")
                codes.push_back(code);
    });
    scene->SetMessageId(WM_USER);
    scene->SetOwnerWindow(window);
    scene->AddInstance(riff.get(), "riff", 0);
    scene->SetInstanceNotify("riff", 255);
    scene->PlayInstance("riff", 1, nullptr, 0, 0);
    scene->SetoutputDevice(TWaveScene::OutputFile, dir.File("g.wav"));
    scene->Play();
    for (int i = 0; i < 6000 && codes.size() < 3; ++i) {
        ProcessMessages();
        Sleep(5);
    }
    WithinSeconds(60, [&] { scene->SetWriter(nullptr, ""); });
    ProcessMessages();
    DeallocateHWnd(window);
    EXPECT_GE(posts, 1);
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{TWaveScene::NotifyStarted, TWaveScene::NotifyStarted,
                                                 TWaveScene::NotifyFinished}));
}

TEST_F(SceneThreads, DestroyingTheSceneWhileItsWriterRendersEndsCleanly)
{
    scene->SetoutputDevice(TWaveScene::OutputFile, dir.File("f.wav"));
    scene->Play();
    for (int i = 0; i < 6000 && scene->GetWriter()->GetBuffersWritten() == 0; ++i)
        Sleep(5);
    WithinSeconds(60, [&] { scene.reset(); });
    WavFile wav;
    ASSERT_EQ(wav.Open(dir.File("f.wav"), nullptr, WavFile::ModeRead), 0);
    EXPECT_GT(wav.GetSize(), 0u);
}

} // namespace
