#pragma once
// The binding sets and the held riff keys of the key road. The held Shift/Alt/Ctrl keys together
// with the on-screen modifiers choose the set ("ALT_" over "SHIFT_" over "INITIAL_"), the mode's
// "toggle[#]" entry of that name, whose "bind" list names the active keys and the riff of each.
// Key-downs and key-ups of the window and mouse clicks on the on-screen keyboard arrive here: a
// key outside the set is a hot key, an auto-repeat is ignored, every other held key is released
// before a new one is pressed, a slim key toggles. What starting and stopping a riff does to the
// sound and the displays stays with the window (THost).
//
// Each key remembers the riff it started, so its release stops that riff even when the set has
// changed since. The previous/next riff search walks the bound keys across the binding sets.
//
// Thread: GUI thread only. Ownership: borrows the keyboard, which must outlive this object, and
// the mode context (owned by the configuration tree). Failure: nothing throws; a mode without the
// chosen set binds no key.
#include "platform/ui/TShiftState.h"
#include "platform/system/TStringList.h"

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <vector>

class OnScreenKeyboard;
class TDVContext;

class KeyBindings {
public:
    static constexpr const char* InitialSet = "INITIAL_";
    static constexpr const char* ShiftSet = "SHIFT_";
    static constexpr const char* AltSet = "ALT_";

    // The window's side of the key road. Unset callbacks do nothing.
    struct THost {
        // A bound key was pressed: stop a riff the play-riff button started, trigger riff with
        // the modifiers of the press, show it.
        std::function<void(const std::string& riff, TShiftState shift)> triggerRiff;
        // A key that started riff was released: stop it and tell the environment.
        std::function<void(const std::string& riff)> stopRiff;
        // The mouse entered a key bound to riff: show it.
        std::function<void(const std::string& riff)> showRiff;
        // The mouse left the keys: show the mode's current riff again, or hide the riff.
        std::function<void()> showCurrentRiff;
        // A key outside the binding set, for the hot-key table; it may consume the key (0).
        std::function<void(std::uint16_t& key, TShiftState shift)> hotKeyDown;
        // Every key-up, first: held hot keys are forgotten, a hot-key riff stops.
        std::function<void()> keyUpStarted;
        std::function<void()> redraw;        // key states or the binding set changed
        std::function<void()> refreshHover;  // re-evaluate the hover at the cursor
    };

    // A riff to select and the binding set it was found in.
    struct TRiffChoice {
        std::string riff;
        TShiftState set = 0;
        bool operator==(const TRiffChoice&) const = default;
    };

    // One held riff key: its code, the name it was pressed by, and whether that press still
    // holds the on-screen key (a click or a command may have released it since; the key-up
    // then ends nothing).
    struct THeldKey {
        std::uint16_t code = 0;
        std::string name;
        bool live = true;
    };

    explicit KeyBindings(OnScreenKeyboard& keyboard) : keyboard_(keyboard) {}

    void SetHost(THost host) { host_ = std::move(host); }
    // The current mode's context; null binds nothing. Does not rebuild.
    void SetMode(TDVContext* mode) { mode_ = mode; }
    [[nodiscard]] TDVContext* Mode() const { return mode_; }

    // "SHIFT_" when shift holds Shift, then "ALT_" when it holds Alt (Alt wins), else "INITIAL_".
    [[nodiscard]] static std::string SetName(TShiftState shift);
    // Rebuilds the binding set for shift plus the pressed on-screen modifiers. When a key was
    // hovered, the bound keys other than the modifiers return to "initial" and the hover is
    // re-evaluated (THost::refreshHover).
    void Build(TShiftState shift);
    // Build for the stored modifier state.
    void Rebuild() { Build(modifierState_); }

    [[nodiscard]] const std::string& ActiveSetName() const { return setName_; }
    // The active "toggle[#]" entry; null when the mode has none of that name.
    [[nodiscard]] TDVContext* BindingSet() const { return bindingSet_; }
    [[nodiscard]] const TStringList& BoundNames() const { return boundNames_; }
    // Key codes in the order of BoundNames (0 for a name without an on-screen key).
    [[nodiscard]] const std::vector<int>& BoundCodes() const { return boundCodes_; }
    // The riff bound to a key name in the active set; "" when unbound or missing.
    [[nodiscard]] std::string RiffForKey(const std::string& name) const;
    // The riff of the index-th bound key; "" outside the list.
    [[nodiscard]] std::string RiffOfKey(int index) const;
    // Index of code among the bound codes; -1 when it is not bound.
    [[nodiscard]] int IndexOfCode(int code) const;

    // ---- the key road ----
    // The window's key-down (after the system-key variants became plain key-downs). key is set
    // to 0 when the road consumed it.
    void KeyDown(std::uint16_t& key, TShiftState shift);
    // The window's key-up.
    void KeyUp(std::uint16_t& key, TShiftState shift);
    // The application lost the focus: every held key is released.
    void ReleaseAll();
    // Another window took the keyboard, and with it the key-ups: every held key is released as
    // its key-up would, except the modifier keys still down (shift: the modifiers the keyboard
    // holds now); the modifier state becomes shift, with the binding set built for it; and an
    // on-screen modifier key of a modifier pressed meanwhile is pressed as its key-down would
    // press it. A latched key and the on-screen modifiers set by the mouse or by a riff's
    // choice stay.
    void ReleaseHeld(TShiftState shift);
    // Forgets the held riff keys without releasing them (Play starts from a clean keyboard). The
    // modifier keys stay held: they are still down, and their key-ups must still come here.
    void ForgetHeldRiffKeys();
    [[nodiscard]] TShiftState ModifierState() const { return modifierState_; }
    [[nodiscard]] const std::list<THeldKey>& HeldKeys() const { return held_; }

    // Presses the on-screen key: a latched key is released first; a slim key that is already
    // pressed is released instead (a toggle); an unbound key only changes its look and the
    // binding set; a bound key triggers its riff. The key becomes the sounding key.
    void PressKey(const std::string& name);
    // The key returns to "initial" and the riff its press started stops. It stops being the
    // sounding key, and a held key of that name no longer holds it.
    void ReleaseKey(const std::string& name);
    // The key pressed last by keyboard or mouse and not yet released; "" for none.
    [[nodiscard]] const std::string& SoundingKey() const { return soundingKey_; }
    // While a key is latched, key-ups and mouse-ups release nothing; the next press releases it.
    [[nodiscard]] const std::string& LatchedKey() const { return latchedKey_; }
    void SetLatchedKey(const std::string& name) { latchedKey_ = name; }
    // Latches the sounding key when its press started a riff; with no riff sounding (nothing,
    // or only an on-screen modifier pressed) it does nothing.
    void LatchSoundingKey();

    // ---- the mouse on the keyboard image (the window skips them while a mode loads) ----
    void MouseDown(int x, int y);
    void MouseUp();
    // Follows the hover; false (nothing done) while a key sounds. The window marks its keyboard
    // image as hovered when this returns true.
    [[nodiscard]] bool MouseMove(int x, int y);

    // ---- riffs started by keys ----
    // The riff a press of the key starts: its binding in the active set, remembered for the
    // key's release. "" for an unbound key.
    [[nodiscard]] std::string PressRiff(const std::string& name);
    // The riff to stop when the key is released: the one its press started, else its binding
    // in the active set. Forgets the key's riff.
    [[nodiscard]] std::string ReleaseRiff(const std::string& name);

    // ---- navigation ----
    // The riff before (direction -1) or after (+1) current along the bound keys; past the ends of
    // a set, the first bound riff of the neighbouring sets in that direction, trying each set at
    // most once. Moves the on-screen modifiers (and the binding set) to the set it searched
    // last. Nothing when no key is bound or no set binds a riff.
    [[nodiscard]] std::optional<TRiffChoice> NeighbourRiff(int direction, const std::string& current,
                                                           TShiftState currentSet);

private:
    [[nodiscard]] bool IsHeld(std::uint16_t code) const;
    void RemoveHeld(std::uint16_t code);
    [[nodiscard]] std::string NameOfCode(std::uint16_t code) const;
    [[nodiscard]] std::string FirstBoundRiff(int direction) const;

    OnScreenKeyboard& keyboard_;
    THost host_;
    TDVContext* mode_ = nullptr;
    TDVContext* bindingSet_ = nullptr;
    std::string setName_;
    TStringList boundNames_;
    std::vector<int> boundCodes_;
    TShiftState modifierState_ = 0;
    std::list<THeldKey> held_;  // in the order pressed
    std::map<std::string, std::string> startedRiffs_;  // key name -> riff its press started
    std::string soundingKey_;
    std::string latchedKey_;
};
