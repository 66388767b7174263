#include "app/game/TGameEnvObj.h"

#include "app/game/TGameObj.h"

TGameEnvObj::~TGameEnvObj()
{
    DeleteObjects();
}

void TGameEnvObj::DeleteObjects()
{
    // The subscriptions borrow the objects: drop them first.
    subscribers_.clear();
    objects_.clear();
}

template <class Hook>
void TGameEnvObj::ForEachObject(Hook hook)
{
    // By index: a hook may add objects.
    for (std::size_t i = 0; i < objects_.size(); ++i) {
        TGameObj* object = objects_[i].get();
        if (object->HasScene())
            hook(*object);
    }
}

std::string TGameEnvObj::EventKey(const std::string& name)
{
    const std::size_t colon = name.find(':');
    return colon == std::string::npos ? name : name.substr(0, colon);
}

void TGameEnvObj::PostEvent(const std::string& name, std::int32_t param)
{
    queue_.push_back(TGameEvent{name, param});
    if (onQueued_)
        onQueued_();
}

void TGameEnvObj::Subscribe(const std::string& name, TGameObj* object)
{
    subscribers_[name].push_back(object);
}

void TGameEnvObj::ClearSubscriptions()
{
    subscribers_.clear();
}

void TGameEnvObj::EndGame(std::int32_t param)
{
    ForEachObject([&](TGameObj& o) { o.OnEndGame(param); });
    state_ = StateReady;
}

void TGameEnvObj::NewGame(std::int32_t param)
{
    ClearQueue();
    state_ = StateRunning;
    ForEachObject([&](TGameObj& o) { o.OnNewGame(param); });
}

void TGameEnvObj::ModeChanged(std::int32_t param)
{
    ClearQueue();
    ForEachObject([&](TGameObj& o) { o.OnModeChanged(param); });
}

void TGameEnvObj::Pause(bool flag)
{
    if (!flag)
        state_ = StateRunning;
    ForEachObject([&](TGameObj& o) { o.OnPause(flag); });
    if (flag)
        state_ = StatePaused;
}

void TGameEnvObj::UpdateObjects()
{
    ForEachObject([&](TGameObj& o) { o.Update(); });
}

void TGameEnvObj::DrawObjects()
{
    ForEachObject([&](TGameObj& o) { o.Draw(); });
}

void TGameEnvObj::RefreshObjects(bool flag)
{
    ForEachObject([&](TGameObj& o) { o.Refresh(flag); });
}

void TGameEnvObj::OnEvent(const TGameEvent& /*event*/, std::int32_t /*param*/) {}

void TGameEnvObj::ProcessEvents()
{
    // The batch leaves the queue before any handler runs: handlers may post (growing the queue)
    // or subscribe without invalidating the event or the list being delivered.
    std::vector<TGameEvent> batch(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
    queue_.clear();
    const std::uint64_t clears = clearCount_;
    std::size_t next = 0;
    try {
        while (next < batch.size()) {
            const TGameEvent& event = batch[next++];
            auto it = subscribers_.find(EventKey(event.name));
            if (it != subscribers_.end()) {
                const std::vector<TGameObj*> receivers = it->second;
                for (TGameObj* object : receivers) {
                    if (object && object->HasScene())
                        object->OnEvent(event, event.param);
                    if (clearCount_ != clears)
                        break;
                }
            }
            if (clearCount_ != clears)
                return;  // a handler emptied the queue: the rest of the batch goes with it
            OnEvent(event, event.param);
            if (clearCount_ != clears)
                return;
        }
    } catch (...) {
        // Drop the event that failed, so it is not raised again at every tick; keep the ones not
        // yet delivered ahead of those posted meanwhile.
        if (clearCount_ == clears)
            queue_.insert(queue_.begin(), std::make_move_iterator(batch.begin() + std::ptrdiff_t(next)),
                          std::make_move_iterator(batch.end()));
        throw;
    }
}

void TGameEnvObj::BeforeModeChange()
{
    ForEachObject([&](TGameObj& o) { o.OnBeforeModeChange(); });
}

void TGameEnvObj::AddObject(std::unique_ptr<TGameObj> object)
{
    if (object)
        objects_.push_back(std::move(object));
}

void TGameEnvObj::ClearQueue()
{
    queue_.clear();
    ++clearCount_;
}
