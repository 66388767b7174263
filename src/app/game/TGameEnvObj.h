#pragma once
// The game environment: a queue of named events that the main window posts and the display
// objects receive, and the game operations (new game, pause, end, mode change) broadcast to every
// object it owns. An event reaches the objects subscribed under its key, the part of its name
// before the first ":" ("SHOWRIFF:riff7" goes to the subscribers of "SHOWRIFF").
//
// Thread: GUI thread only (posting from window-message handlers and timer ticks, dispatch from the
// same); nothing here locks. Ownership: the environment owns its objects and deletes them when it
// is destroyed; subscriptions only borrow them. Failure: the environment throws nothing itself;
// what an object's hook throws passes to the caller of the operation.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TDVContext;
class TGameObj;

class TGameEnvObj {
public:
    // One queued event. The parameter of note events packs the channel in bits 8 and up and the
    // note or value in bits 0 to 7.
    struct TGameEvent {
        std::string name;
        std::int32_t param = 0;
    };

    // Game states.
    static constexpr std::uint8_t StatePaused = 0;
    static constexpr std::uint8_t StateReady = 1;
    static constexpr std::uint8_t StateRunning = 2;

    TGameEnvObj() = default;
    virtual ~TGameEnvObj();
    TGameEnvObj(const TGameEnvObj&) = delete;
    TGameEnvObj& operator=(const TGameEnvObj&) = delete;

    // Appends the event to the queue and calls the queued hook; nothing is dispatched until
    // ProcessEvents.
    virtual void PostEvent(const std::string& name, std::int32_t param);
    // Called after every PostEvent, so that whoever dispatches the queue on a clock can let the
    // clock rest while the queue is empty. Empty: nobody is told.
    void SetOnQueued(std::function<void()> hook) { onQueued_ = std::move(hook); }
    // Adds object to the subscribers of key name; subscribing twice delivers each event twice.
    virtual void Subscribe(const std::string& name, TGameObj* object);
    virtual void ClearSubscriptions();
    // Switches to the mode of that name (force: even when it is the current one).
    virtual void SetMode(const std::string& name, std::int32_t param, bool force) = 0;
    // Tells every object, then the state is ready.
    virtual void EndGame(std::int32_t param);
    // Drops the queue, the state is running, then tells every object.
    virtual void NewGame(std::int32_t param);
    // Drops the queue, then tells every object.
    virtual void ModeChanged(std::int32_t param);
    // Resuming (false) sets running before the objects are told; pausing (true) sets paused after.
    virtual void Pause(bool flag);
    virtual void UpdateObjects();
    virtual void DrawObjects();
    virtual void RefreshObjects(bool flag);
    // Contexts of the configuration; owned by the configuration tree.
    [[nodiscard]] virtual TDVContext* GetGeneralContext() = 0;
    [[nodiscard]] virtual TDVContext* GetSettingsContext() = 0;
    [[nodiscard]] virtual TDVContext* FindMode(const std::string& name) = 0;
    // The environment's own view of every dispatched event, after its subscribers.
    virtual void OnEvent(const TGameEvent& event, std::int32_t param);
    // Dispatches the events queued at entry, in order: first to the subscribers of the event's key
    // in subscription order, then to OnEvent. Events posted meanwhile wait for the next call; a
    // handler that empties the queue (NewGame, ModeChanged, SetMode) also drops the undelivered
    // rest of this call. When a handler throws, the event it was handling is dropped, the ones
    // not yet delivered stay queued at the front, and the exception passes on.
    virtual void ProcessEvents();

    // Every object's OnBeforeModeChange, in object order.
    void BeforeModeChange();

    [[nodiscard]] std::uint8_t GameState() const { return state_; }
    void SetGameState(std::uint8_t state) { state_ = state; }
    // Takes ownership; null is ignored. Objects are told in the order they were added.
    void AddObject(std::unique_ptr<TGameObj> object);
    [[nodiscard]] const std::vector<std::unique_ptr<TGameObj>>& Objects() const { return objects_; }
    [[nodiscard]] const std::vector<TGameEvent>& Queue() const { return queue_; }
    // The key an event name is dispatched under: the text before the first ":", or all of it.
    [[nodiscard]] static std::string EventKey(const std::string& name);

protected:
    // Empties the queue, including what ProcessEvents has not yet delivered.
    void ClearQueue();
    // Deletes every object (subscriptions first), newest last as they were added. A derived
    // environment calls it from its destructor so that the objects go while it is still whole.
    void DeleteObjects();

private:
    // Runs hook on every object that has a scene, in object order.
    template <class Hook>
    void ForEachObject(Hook hook);

    std::uint8_t state_ = StateReady;
    std::vector<std::unique_ptr<TGameObj>> objects_;
    std::vector<TGameEvent> queue_;
    std::map<std::string, std::vector<TGameObj*>> subscribers_;
    std::function<void()> onQueued_;
    // Counts ClearQueue calls, so a dispatch loop sees that its batch was dropped.
    std::uint64_t clearCount_ = 0;
};
