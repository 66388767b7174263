#include "sound/TWaveScene.h"

#include "platform/system/Exception.h"
#include "FakeWaveWriter.h"

#include <gtest/gtest.h>

namespace {

class NotifyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = AllocateHWnd([this](UINT msg, WPARAM w, LPARAM l) {
            ++posts;
            lastMsg = msg;
            lastW = w;
            lastL = l;
        });
        scene.SetSceneFormat(1000, 16, 1, 10);
        auto w = std::make_unique<FakeWaveWriter>(&scene);
        writer = w.get();
        scene.SetWriter(std::move(w), "fake");
        scene.Play();
        WAVEFORMATEX f;
        InitWaveFormat(f, 1000, 1, 16);
        wave = std::make_unique<TWaveBuffer>(4, f);
        scene.SetMessageId(WM_USER);
        scene.SetOwnerWindow(window);
    }
    void TearDown() override { DeallocateHWnd(window); }
    void Add(const std::string& name)
    {
        scene.AddInstance(wave.get(), name, 0);
        scene.SetInstanceNotify(name, 255);
    }
    std::size_t Queued()
    {
        std::size_t n = 0;
        std::string name;
        std::uint32_t code = 0;
        while (scene.PopInstanceMessage(name, code))
            ++n;
        return n;
    }

    std::unique_ptr<TWaveBuffer> wave;
    TWaveScene scene;
    FakeWaveWriter* writer = nullptr;
    HWND window = nullptr;
    int posts = 0;
    UINT lastMsg = 0;
    WPARAM lastW = 0;
    LPARAM lastL = 0;
};

TEST_F(NotifyTest, OneRenderPostsOneMessageForAllItsNotifications)
{
    for (const char* name : {"a", "b", "c"}) {
        Add(name);
        scene.PlayInstance(name, 0, nullptr, 0, 0);
    }
    writer->Step();  // three starts and three ends
    ProcessMessages();
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(lastMsg, WM_USER);
    EXPECT_EQ(lastW, reinterpret_cast<WPARAM>(&scene));
    EXPECT_EQ(lastL, reinterpret_cast<LPARAM>(&scene));
    EXPECT_EQ(Queued(), 6u);
    writer->Step();  // nothing new: no post
    ProcessMessages();
    EXPECT_EQ(posts, 1);
}

TEST_F(NotifyTest, StopAndResumeReportOnlyChanges)
{
    Add("x");
    scene.StopInstance("x");  // was not playing: nothing
    scene.ResumeInstance("x");
    scene.ResumeInstance("x");  // already playing: nothing
    scene.StopInstance("x");
    std::vector<std::uint32_t> codes;
    std::string name;
    std::uint32_t code = 0;
    while (scene.PopInstanceMessage(name, code))
        codes.push_back(code);
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{TWaveScene::NotifyResumed, TWaveScene::NotifyStopped}));
    ProcessMessages();
    EXPECT_EQ(posts, 2);
}

TEST_F(NotifyTest, DisabledMessagesQueueAndPostNothingButStateChanges)
{
    Add("x");
    scene.DisableMessages();
    scene.PlayInstance("x", 0, nullptr, 0, 0);
    writer->Step();
    ProcessMessages();
    EXPECT_EQ(posts, 0);
    EXPECT_TRUE(scene.IsMessageQueueEmpty());
    EXPECT_FALSE(scene.IsInstancePlaying("x"));
    scene.EnableMessages();
    scene.EnableMessages();  // never below zero
    scene.PushInstanceMessage("x", 1);
    EXPECT_FALSE(scene.IsMessageQueueEmpty());
}

TEST_F(NotifyTest, TheThousandAndFirstUnreadMessageThrowsOnTheGuiThread)
{
    for (int i = 0; i < TWaveScene::kMaxMessages; ++i)
        scene.PushInstanceMessage("m", 1);
    try {
        scene.PushInstanceMessage("m", 1);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Application don't control WaveScene messaging!. To many messages!");
    }
    EXPECT_EQ(Queued(), 1001u);
}

TEST_F(NotifyTest, AFullQueueDropsRenderNotificationsInsteadOfThrowing)
{
    for (int i = 0; i < TWaveScene::kMaxMessages; ++i)
        scene.PushInstanceMessage("m", 1);
    Add("x");
    scene.PlayInstance("x", 0, nullptr, 0, 0);
    EXPECT_NO_THROW(writer->Step());
    EXPECT_EQ(scene.GetDroppedMessages(), 2u);  // started and finished
    EXPECT_FALSE(scene.IsInstancePlaying("x"));
    EXPECT_EQ(Queued(), 1000u);
}

TEST_F(NotifyTest, WithoutAnOwnerWindowNothingIsQueued)
{
    scene.SetOwnerWindow(nullptr);
    Add("x");
    scene.PlayInstance("x", 0, nullptr, 0, 0);
    writer->Step();
    EXPECT_TRUE(scene.IsMessageQueueEmpty());
}

TEST(SceneMessageId, DefaultsToTheRegisteredSceneMessage)
{
    const UINT id = RegisterWindowMessage("WaveScene_Message");
    EXPECT_GE(id, 0xC000u);
    int got = 0;
    UINT msg = 0;
    HWND window = AllocateHWnd([&](UINT m, WPARAM, LPARAM) {
        ++got;
        msg = m;
    });
    TWaveScene scene;
    scene.SetOwnerWindow(window);
    scene.PostNotification();
    ProcessMessages();
    EXPECT_EQ(got, 1);
    EXPECT_EQ(msg, id);
    DeallocateHWnd(window);
}

} // namespace
