// The game environment: event keys, dispatch order, the queue around handlers that post, empty
// the queue or throw, the game state around the broadcasts, and the mode list of the program's
// environment.
#include "app/game/TGameObj.h"
#include "app/game/TKorvaneEnv.h"
#include "config/TDVContext.h"
#include "platform/system/Exception.h"
#include "platform/system/TStringList.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Records every hook as one line into a log shared by all objects of a test.
class Recorder : public TGameObj {
public:
    Recorder(TGameEnvObj* env, std::string id, std::vector<std::string>& log) : TGameObj(env), id_(std::move(id)), log_(log)
    {
    }
    void Draw() override { Log("Draw"); }
    void Update() override { Log("Update"); }
    void Refresh(bool flag) override { Log("Refresh " + std::to_string(flag)); }
    void OnBeforeModeChange() override { Log("BeforeModeChange"); }
    void OnModeChanged(std::int32_t p) override { Log("ModeChanged " + std::to_string(p)); }
    void OnNewGame(std::int32_t p) override { Log("NewGame " + std::to_string(p)); }
    void OnPause(bool flag) override
    {
        Log("Pause " + std::to_string(flag) + " state " + std::to_string(Env()->GameState()));
    }
    void OnEndGame(std::int32_t p) override
    {
        Log("EndGame " + std::to_string(p) + " state " + std::to_string(Env()->GameState()));
    }
    void OnEvent(const TGameEnvObj::TGameEvent& e, std::int32_t p) override
    {
        Log(e.name + " " + std::to_string(p));
        if (onEvent)
            onEvent(e);
    }
    bool HasScene() const override { return hasScene; }

    std::function<void(const TGameEnvObj::TGameEvent&)> onEvent;
    bool hasScene = true;

private:
    void Log(const std::string& what) { log_.push_back(id_ + ":" + what); }
    std::string id_;
    std::vector<std::string>& log_;
};

// A bare environment that logs what reaches its own OnEvent.
class TestEnv : public TGameEnvObj {
public:
    explicit TestEnv(std::vector<std::string>& log) : log_(log) {}
    void SetMode(const std::string&, std::int32_t, bool) override {}
    TDVContext* GetGeneralContext() override { return nullptr; }
    TDVContext* GetSettingsContext() override { return nullptr; }
    TDVContext* FindMode(const std::string&) override { return nullptr; }
    void OnEvent(const TGameEvent& e, std::int32_t p) override { log_.push_back("env:" + e.name + " " + std::to_string(p)); }

    Recorder* Add(const std::string& id)
    {
        auto object = std::make_unique<Recorder>(this, id, log_);
        Recorder* raw = object.get();
        AddObject(std::move(object));
        return raw;
    }

private:
    std::vector<std::string>& log_;
};

using Log = std::vector<std::string>;

TEST(GameEnv, EventKeyIsTheNameBeforeTheFirstColon)
{
    EXPECT_EQ(TGameEnvObj::EventKey("NOTEON"), "NOTEON");
    EXPECT_EQ(TGameEnvObj::EventKey("SHOWRIFF:riff 7"), "SHOWRIFF");
    EXPECT_EQ(TGameEnvObj::EventKey("SHOWRIFF:a:b"), "SHOWRIFF");
    EXPECT_EQ(TGameEnvObj::EventKey(":x"), "");
}

TEST(GameEnv, DispatchGoesToSubscribersInOrderThenToTheEnvironment)
{
    Log log;
    TestEnv env(log);
    Recorder* a = env.Add("a");
    Recorder* b = env.Add("b");
    env.Subscribe("SHOWRIFF", b);
    env.Subscribe("SHOWRIFF", a);
    env.Subscribe("NOTEON", a);
    env.Subscribe("NOTEON", a);  // twice: each event arrives twice
    env.PostEvent("SHOWRIFF:r1", 3);
    env.PostEvent("NOTEON", 10 * 256 + 64);
    env.PostEvent("STOPRIFF:r1", 0);  // no subscriber: only the environment hears it
    EXPECT_TRUE(log.empty()) << "posting dispatches nothing";
    env.ProcessEvents();
    EXPECT_EQ(log, (Log{"b:SHOWRIFF:r1 3", "a:SHOWRIFF:r1 3", "env:SHOWRIFF:r1 3", "a:NOTEON 2624", "a:NOTEON 2624",
                        "env:NOTEON 2624", "env:STOPRIFF:r1 0"}));
    EXPECT_TRUE(env.Queue().empty());
}

TEST(GameEnv, EventPostedByAHandlerWaitsForTheNextCall)
{
    Log log;
    TestEnv env(log);
    Recorder* a = env.Add("a");
    env.Subscribe("A", a);
    // Enough posts to move the queue's storage while the first event is being delivered.
    a->onEvent = [&](const TGameEnvObj::TGameEvent& e) {
        if (e.name == "A")
            for (int i = 0; i < 100; ++i)
                env.PostEvent("B", i);
    };
    env.PostEvent("A", 1);
    env.ProcessEvents();
    EXPECT_EQ(log, (Log{"a:A 1", "env:A 1"}));
    ASSERT_EQ(env.Queue().size(), 100u);
    log.clear();
    env.ProcessEvents();
    EXPECT_EQ(log.size(), 100u);
    EXPECT_EQ(log.front(), "env:B 0");
    EXPECT_TRUE(env.Queue().empty());
}

TEST(GameEnv, SubscribingDuringDispatchIsSafe)
{
    Log log;
    TestEnv env(log);
    Recorder* a = env.Add("a");
    env.Subscribe("A", a);
    a->onEvent = [&](const TGameEnvObj::TGameEvent&) {
        for (int i = 0; i < 50; ++i)
            env.Subscribe("A", a);
    };
    env.PostEvent("A", 0);
    env.ProcessEvents();
    EXPECT_EQ(log, (Log{"a:A 0", "env:A 0"}));
}

TEST(GameEnv, HandlerThatThrowsDropsItsEventAndKeepsTheRest)
{
    Log log;
    TestEnv env(log);
    Recorder* a = env.Add("a");
    env.Subscribe("BAD", a);
    env.Subscribe("GOOD", a);
    a->onEvent = [&](const TGameEnvObj::TGameEvent& e) {
        if (e.name == "BAD") {
            env.PostEvent("LATER", 0);
            throw Exception("broken handler");
        }
    };
    env.PostEvent("GOOD", 1);
    env.PostEvent("BAD", 2);
    env.PostEvent("GOOD", 3);
    EXPECT_THROW(env.ProcessEvents(), Exception);
    ASSERT_EQ(env.Queue().size(), 2u);
    EXPECT_EQ(env.Queue()[0].name, "GOOD");  // undelivered events stay ahead of later posts
    EXPECT_EQ(env.Queue()[0].param, 3);
    EXPECT_EQ(env.Queue()[1].name, "LATER");
    log.clear();
    env.ProcessEvents();  // the failing event is not raised again
    EXPECT_EQ(log, (Log{"a:GOOD 3", "env:GOOD 3", "env:LATER 0"}));
}

TEST(GameEnv, HandlerThatStartsANewGameDropsTheRestOfTheBatch)
{
    Log log;
    TestEnv env(log);
    Recorder* a = env.Add("a");
    env.Subscribe("A", a);
    a->onEvent = [&](const TGameEnvObj::TGameEvent& e) {
        if (e.param == 1)
            env.NewGame(0);
    };
    env.PostEvent("A", 1);
    env.PostEvent("A", 2);
    env.ProcessEvents();
    EXPECT_EQ(log, (Log{"a:A 1", "a:NewGame 0"}));
    EXPECT_TRUE(env.Queue().empty());
}

TEST(GameEnv, PauseSetsTheStateAroundTheObjects)
{
    Log log;
    TestEnv env(log);
    env.Add("a");
    EXPECT_EQ(env.GameState(), TGameEnvObj::StateReady);
    env.NewGame(5);
    EXPECT_EQ(env.GameState(), TGameEnvObj::StateRunning);
    env.Pause(true);
    EXPECT_EQ(env.GameState(), TGameEnvObj::StatePaused);
    env.Pause(false);
    EXPECT_EQ(env.GameState(), TGameEnvObj::StateRunning);
    env.EndGame(7);
    EXPECT_EQ(env.GameState(), TGameEnvObj::StateReady);
    // Pausing: the objects see the old state; resuming: they see running; ending: the old state.
    EXPECT_EQ(log, (Log{"a:NewGame 5", "a:Pause 1 state 2", "a:Pause 0 state 2", "a:EndGame 7 state 2"}));
}

TEST(GameEnv, NewGameAndModeChangedDropTheQueue)
{
    Log log;
    TestEnv env(log);
    env.PostEvent("X", 0);
    env.NewGame(0);
    EXPECT_TRUE(env.Queue().empty());
    env.PostEvent("X", 0);
    env.ModeChanged(0);
    EXPECT_TRUE(env.Queue().empty());
}

TEST(GameEnv, BroadcastsReachObjectsInInsertionOrder)
{
    Log log;
    TestEnv env(log);
    env.Add("a");
    env.Add("b");
    env.UpdateObjects();
    env.DrawObjects();
    env.RefreshObjects(true);
    env.BeforeModeChange();
    EXPECT_EQ(log, (Log{"a:Update", "b:Update", "a:Draw", "b:Draw", "a:Refresh 1", "b:Refresh 1", "a:BeforeModeChange",
                        "b:BeforeModeChange"}));
}

TEST(GameEnv, ObjectWithoutASceneIsSkipped)
{
    Log log;
    TestEnv env(log);
    Recorder* blank = env.Add("blank");
    env.Add("b");
    blank->hasScene = false;
    env.Subscribe("A", blank);
    env.UpdateObjects();
    env.DrawObjects();
    env.NewGame(0);
    env.PostEvent("A", 1);
    env.ProcessEvents();
    EXPECT_EQ(log, (Log{"b:Update", "b:Draw", "b:NewGame 0", "env:A 1"}));
}

// ---- the program's environment over a configuration ----

const char* kModes = R"(context general
	string Version="1"
endcontext
context settings
	string current_mode="rock"
endcontext
context mode[]
	string title_in_combo=""
	string title_in_drop=""
endcontext
mode[blues].title_in_combo="Blues"
mode[blues].title_in_drop="Blues in A"
mode[rock].title_in_combo="Rock"
mode[rock].title_in_drop="Rock in E"
)";

struct Root {
    explicit Root(const std::string& text)
    {
        TStringList lines;
        lines.SetText(text);
        root.LoadFromStrings(lines, 0, 0);
    }
    TDVContext root;
};

TEST(KorvaneEnv, ReadsModesAndCurrentModeAndFillsTheModeList)
{
    Root r(kModes);
    TKorvaneEnv env(&r.root, nullptr, nullptr, nullptr, nullptr, {});
    EXPECT_EQ(env.Modes().Lines(), (std::vector<std::string>{"blues", "rock"}));
    EXPECT_EQ(env.CurrentMode(), "rock");
    EXPECT_EQ(env.GetModeName(-1), "rock");
    EXPECT_EQ(env.GetModeName(0), "blues");
    EXPECT_THROW((void)env.GetModeName(2), Exception);
    EXPECT_EQ(env.GetModeComboTitle(""), "Rock");
    EXPECT_EQ(env.GetModeDropTitle("blues"), "Blues in A");
    TStringList list;
    list.Add("kept");
    env.FillModeList(list);
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"kept", "Blues in A", "Rock in E"}));
    EXPECT_EQ(env.GetSettingsContext()->GetValueText("current_mode"), "rock");
    EXPECT_NE(env.GetGeneralContext(), nullptr);
    EXPECT_TRUE(env.CanStart());
    EXPECT_EQ(env.GameState(), TGameEnvObj::StateReady);
}

TEST(KorvaneEnv, CurrentModeOutsideTheListHasNoName)
{
    std::string text = kModes;
    text.replace(text.find("\"rock\"\nendcontext"), 6, "\"-1\"");
    Root r(text);
    TKorvaneEnv env(&r.root, nullptr, nullptr, nullptr, nullptr, {});
    EXPECT_EQ(env.GetModeName(-1), "");
    EXPECT_EQ(env.GetModeDropTitle(""), "") << "a missing entry reads the list's default element";
}

TEST(KorvaneEnv, SetModeWithTheCurrentNameOnlyDropsTheQueueUnlessForced)
{
    Root r(kModes);
    Log log;
    TKorvaneEnv::TObjectMakers makers;
    Recorder* pages = nullptr;
    makers.transcription = [&](TKorvaneEnv& env, TImage*) {
        auto object = std::make_unique<Recorder>(&env, "pages", log);
        pages = object.get();
        return object;
    };
    TKorvaneEnv env(&r.root, nullptr, nullptr, nullptr, nullptr, makers);
    ASSERT_EQ(env.Transcription(), pages);
    EXPECT_EQ(env.Fretboard(), nullptr);
    env.PostEvent("X", 0);
    env.SetMode("rock", 1, false);
    EXPECT_TRUE(env.Queue().empty());
    EXPECT_TRUE(log.empty());
    env.SetMode("rock", 2, true);
    env.SetMode("blues", 3, false);
    EXPECT_EQ(env.CurrentMode(), "blues");
    EXPECT_EQ(log, (Log{"pages:BeforeModeChange", "pages:ModeChanged 2", "pages:BeforeModeChange", "pages:ModeChanged 3"}));
}

TEST(KorvaneEnv, GameEventsSetTheState)
{
    Root r(kModes);
    Log log;
    TKorvaneEnv::TObjectMakers makers;
    makers.fretboard = [&](TKorvaneEnv& env, TImage*) { return std::make_unique<Recorder>(&env, "frets", log); };
    TKorvaneEnv env(&r.root, nullptr, nullptr, nullptr, nullptr, makers);
    env.NewGame(0);
    env.PostEvent("PAUSE_GAME", 0);
    env.ProcessEvents();
    EXPECT_EQ(env.GameState(), TGameEnvObj::StatePaused);
    env.PostEvent("UNPAUSE_GAME", 0);
    env.ProcessEvents();
    EXPECT_EQ(env.GameState(), TGameEnvObj::StateRunning);
    env.PostEvent("END_GAME", 0);
    env.ProcessEvents();
    EXPECT_EQ(env.GameState(), TGameEnvObj::StateReady);
    EXPECT_EQ(log.back(), "frets:EndGame 0 state 1");  // END_GAME sets ready before the objects hear it
    env.SetGameState(TGameEnvObj::StateRunning);
    env.PostEvent("NEW_GAME", 0);
    env.ProcessEvents();
    EXPECT_EQ(env.GameState(), TGameEnvObj::StateReady);
}

TEST(KorvaneEnv, DefaultMakersAreUsedByTheShortConstructor)
{
    Root r(kModes);
    Log log;
    TKorvaneEnv::TObjectMakers makers;
    makers.fretboard = [&](TKorvaneEnv& env, TImage*) {
        auto object = std::make_unique<Recorder>(&env, "frets", log);
        env.Subscribe("NOTEON", object.get());
        return object;
    };
    TKorvaneEnv::TObjectMakers before = TKorvaneEnv::SetDefaultObjectMakers(makers);
    {
        TKorvaneEnv env(&r.root, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(env.Fretboard(), nullptr);
        env.PostEvent("NOTEON", 300);
        env.ProcessEvents();
    }
    TKorvaneEnv::SetDefaultObjectMakers(before);
    EXPECT_EQ(log, (Log{"frets:NOTEON 300"}));
}

TEST(KorvaneEnv, ObjectsAreDeletedWhileTheEnvironmentIsStillWhole)
{
    // A display object that reaches its environment while it is destroyed.
    struct Reaching : TGameObj {
        Reaching(TGameEnvObj* env, std::string& seen) : TGameObj(env), seen_(seen) {}
        ~Reaching() override { seen_ = Env()->GetSettingsContext()->GetValueText("current_mode"); }
        std::string& seen_;
    };
    Root r(kModes);
    std::string seen;
    TKorvaneEnv::TObjectMakers makers;
    makers.fretboard = [&](TKorvaneEnv& env, TImage*) { return std::make_unique<Reaching>(&env, seen); };
    { TKorvaneEnv env(&r.root, nullptr, nullptr, nullptr, nullptr, makers); }
    EXPECT_EQ(seen, "rock");
}

}  // namespace
