#pragma once
// Mends the auto-repeat mark of key releases before they are routed (VirtualKeys.h). A held key
// repeats on X11 as a release and a press with the same time stamp; the toolkit marks the pair
// as a repeat only when the press is already queued behind the release, which a busy machine
// defeats now and then, so a held key would seem to be let go and pressed again. A release of
// the window system that is not marked is therefore held back: a press of the same key with the
// release's time stamp makes the pair a repeat (the release is dropped, the press is a repeated
// key-down); any other event delivers the held release before its own route, and so does the
// owner when the hold's deadline passes (TKeyEventRouter). Events without native data (no
// window system, as offscreen) pass straight through.
//
// Pure and single-threaded: the owner's thread (the GUI thread). Nothing here throws.
#include "platform/ui/VirtualKeys.h"

#include <optional>

// What one event asks of the window, in order: first the release held back before (if it is
// delivered now), then the event's own route (Ignore while the event itself is held back).
struct TFilteredKey {
    std::optional<TKeyRoute> heldRelease;
    TKeyRoute route;
};

class TAutoRepeatFilter {
public:
    // How long a release waits for the press of its repeat pair, in milliseconds: the pair is
    // sent at once, so only the toolkit's event reader delays the press.
    static constexpr int kHoldMilliseconds = 40;

    // Routes one event of the window.
    [[nodiscard]] TFilteredKey Feed(const TKeyEventData& event);
    // The held release, routed, when one is held (its deadline passed, or the window loses the
    // keyboard); nothing is held afterwards.
    [[nodiscard]] std::optional<TKeyRoute> TakeHeldRelease();
    [[nodiscard]] bool Holding() const { return held_.has_value(); }

private:
    std::optional<TKeyEventData> held_;
};
