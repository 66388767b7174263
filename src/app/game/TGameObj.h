#pragma once
// Base of every game object the environment drives (the fretboard and the transcription display).
// Every hook does nothing here; an object overrides the ones it needs and subscribes to its events
// in its own constructor (TGameEnvObj::Subscribe).
//
// Thread: GUI thread only. Ownership: the environment that the object is added to owns it and
// deletes it through the virtual destructor; the object only borrows its environment, which
// outlives it.
#include "app/game/TGameEnvObj.h"

#include <cstdint>

class TGameObj {
public:
    explicit TGameObj(TGameEnvObj* env) : env_(env) {}
    virtual ~TGameObj() = default;
    TGameObj(const TGameObj&) = delete;
    TGameObj& operator=(const TGameObj&) = delete;

    virtual void Draw() {}
    virtual void Update() {}
    virtual void Refresh(bool /*flag*/) {}
    virtual void OnBeforeModeChange() {}
    virtual void OnModeChanged(std::int32_t /*param*/) {}
    virtual void OnNewGame(std::int32_t /*param*/) {}
    virtual void OnPause(bool /*flag*/) {}
    virtual void OnEndGame(std::int32_t /*param*/) {}
    virtual void OnEvent(const TGameEnvObj::TGameEvent& /*event*/, std::int32_t /*param*/) {}

    // Whether the object has the sprite scene it draws into. The environment skips an object
    // without one in every broadcast and dispatch, so a display that could not be set up stays
    // blank instead of drawing through a missing scene.
    [[nodiscard]] virtual bool HasScene() const { return true; }

    [[nodiscard]] TGameEnvObj* Env() const { return env_; }
    // Free for the object's own use; 0 at construction.
    [[nodiscard]] int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }

private:
    TGameEnvObj* env_ = nullptr;
    int tag_ = 0;
};
