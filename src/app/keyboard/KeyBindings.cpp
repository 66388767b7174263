#include "app/keyboard/KeyBindings.h"

#include "app/keyboard/OnScreenKeyboard.h"
#include "config/TDVContext.h"
#include "platform/system/Exception.h"

#include <algorithm>

namespace {

// The modifier keys' codes and the modifier each holds down. Shift, Ctrl and Alt stay held
// while another key is pressed.
struct TModifierKey {
    std::uint16_t code;
    TShiftState shift;
};
constexpr TModifierKey kModifierKeys[] = {{16, ssShift}, {17, ssCtrl}, {18, ssAlt}};

TShiftState ShiftOfCode(std::uint16_t code)
{
    for (const TModifierKey& m : kModifierKeys)
        if (m.code == code)
            return m.shift;
    return 0;
}

} // namespace

std::string KeyBindings::SetName(TShiftState shift)
{
    if (InShift(shift, ssAlt))
        return AltSet;
    if (InShift(shift, ssShift))
        return ShiftSet;
    return InitialSet;
}

void KeyBindings::Build(TShiftState shift)
{
    setName_ = SetName(shift | keyboard_.GetShiftFromModifierKeys());
    bindingSet_ = nullptr;
    boundNames_.Clear();
    boundCodes_.clear();
    if (mode_) {
        try {
            // Looked up only when listed: the lookup of a missing entry answers with the list's
            // template.
            TStringList sets;
            mode_->EnumListIDs("toggle", sets);
            const auto& ids = sets.Lines();
            if (std::find(ids.begin(), ids.end(), setName_) != ids.end()) {
                bindingSet_ = mode_->GetContextByID("toggle[#]", setName_);
                bindingSet_->EnumListIDs("bind", boundNames_);
            }
        } catch (const Exception&) {
            bindingSet_ = nullptr;
            boundNames_.Clear();
        }
    }
    for (const std::string& name : boundNames_.Lines()) {
        const TKBButton* key = keyboard_.Find(name);
        boundCodes_.push_back(key ? key->scan_code : 0);
    }
    if (keyboard_.ResetHover(boundNames_) && host_.refreshHover)
        host_.refreshHover();
}

std::string KeyBindings::RiffForKey(const std::string& name) const
{
    if (bindingSet_ == nullptr || name.empty())
        return {};
    try {
        return bindingSet_->GetStringByID("bind[#]", name);
    } catch (const Exception&) {
        return {};
    }
}

std::string KeyBindings::RiffOfKey(int index) const
{
    if (index < 0 || index >= boundNames_.Count())
        return {};
    return RiffForKey(boundNames_[index]);
}

int KeyBindings::IndexOfCode(int code) const
{
    const auto it = std::find(boundCodes_.begin(), boundCodes_.end(), code);
    return it == boundCodes_.end() ? -1 : static_cast<int>(it - boundCodes_.begin());
}

std::string KeyBindings::NameOfCode(std::uint16_t code) const
{
    const int index = IndexOfCode(code);
    return index < 0 ? std::string() : boundNames_[index];
}

bool KeyBindings::IsHeld(std::uint16_t code) const
{
    return std::any_of(held_.begin(), held_.end(), [code](const THeldKey& k) { return k.code == code; });
}

void KeyBindings::RemoveHeld(std::uint16_t code)
{
    held_.remove_if([code](const THeldKey& k) { return k.code == code; });
}

void KeyBindings::KeyDown(std::uint16_t& key, TShiftState shift)
{
    const bool changed = shift != modifierState_;
    if (changed)
        Build(shift);
    const std::string name = NameOfCode(key);
    if (name.empty()) {
        if (host_.hotKeyDown)
            host_.hotKeyDown(key, shift);
        if (changed && host_.redraw)
            host_.redraw();
        return;
    }
    if (IsHeld(key)) {
        // An auto-repeat, or a modifier change while the key stays down.
        modifierState_ = shift;
        key = 0;
        if (changed && host_.redraw)
            host_.redraw();
        return;
    }
    // Releasing changes the held list: walk a copy.
    const std::list<THeldKey> others = held_;
    for (const THeldKey& other : others) {
        if (ShiftOfCode(other.code) != 0)
            continue;
        std::uint16_t code = other.code;
        KeyUp(code, modifierState_);
    }
    // A release rebuilds the set for the old modifiers; the new key belongs to the new set.
    if (changed)
        Build(shift);
    modifierState_ = shift;
    held_.push_back({key, name});
    PressKey(name);
    // A toggle's second press released the key instead: its key-up has nothing to end.
    for (THeldKey& k : held_)
        if (k.code == key)
            k.live = keyboard_.IsPressed(name);
    key = 0;
    if (changed && host_.redraw)
        host_.redraw();
}

void KeyBindings::KeyUp(std::uint16_t& key, TShiftState shift)
{
    if (host_.keyUpStarted)
        host_.keyUpStarted();
    const bool changed = shift != modifierState_;
    const bool heldAtStart = IsHeld(key);
    if (changed) {
        const std::list<THeldKey> all = held_;
        for (const THeldKey& other : all) {
            std::uint16_t code = other.code;
            KeyUp(code, modifierState_);
        }
    }
    if (!changed && !heldAtStart) {
        key = 0;
        return;
    }
    // The name the key was pressed by, so the riff it started stops whatever the set is now.
    // A key-up ends only what its own press started: nothing when a click or a command has
    // released the key since, or when its key-down never came here.
    std::string name;
    for (const THeldKey& k : held_)
        if (k.code == key && k.live)
            name = k.name;
    if (!name.empty() && latchedKey_.empty())
        ReleaseKey(name);
    Build(shift);
    modifierState_ = shift;
    RemoveHeld(key);
    key = 0;
    if (changed && host_.redraw)
        host_.redraw();
}

void KeyBindings::ReleaseAll()
{
    const std::list<THeldKey> all = held_;
    for (const THeldKey& k : all) {
        std::uint16_t code = k.code;
        KeyUp(code, modifierState_);
    }
    held_.clear();
}

void KeyBindings::ForgetHeldRiffKeys()
{
    held_.remove_if([](const THeldKey& k) { return ShiftOfCode(k.code) == 0; });
}

void KeyBindings::ReleaseHeld(TShiftState shift)
{
    if (host_.keyUpStarted)
        host_.keyUpStarted();
    // The modifier keys still down stay held: their key-ups come here again.
    const std::list<THeldKey> all = held_;
    for (const THeldKey& k : all) {
        if ((ShiftOfCode(k.code) & shift) != 0)
            continue;
        std::uint16_t code = k.code;
        KeyUp(code, modifierState_);
    }
    Build(shift);
    modifierState_ = shift;
    // A modifier pressed while the keys went elsewhere shows on screen as its key-down would
    // show it; an on-screen key the mouse pressed already stays as it is.
    for (const TModifierKey& m : kModifierKeys) {
        if ((m.shift & shift) == 0 || IsHeld(m.code))
            continue;
        // A key that binds a riff would have started it: not shown without its press.
        const std::string name = NameOfCode(m.code);
        if (name.empty() || keyboard_.IsPressed(name) || !RiffForKey(name).empty())
            continue;
        keyboard_.SetState(name, TKBButton::StatePressed);
        held_.push_back({m.code, name});
    }
    Rebuild();
    if (host_.redraw)
        host_.redraw();
}

void KeyBindings::PressKey(const std::string& name)
{
    if (!latchedKey_.empty()) {
        const std::string latched = latchedKey_;
        latchedKey_.clear();
        ReleaseKey(latched);
    }
    keyboard_.ResetHover(boundNames_);
    const TKBButton* key = keyboard_.Find(name);
    if (key && key->slim && key->IsPressed()) {
        ReleaseKey(name);
        Rebuild();
        if (host_.redraw)
            host_.redraw();
        return;
    }
    keyboard_.SetState(name, TKBButton::StatePressed);
    const std::string riff = PressRiff(name);
    if (riff.empty()) {
        // An on-screen modifier, or a key without a riff: only the binding set may change.
        soundingKey_ = name;
        Rebuild();
    } else {
        if (host_.triggerRiff)
            host_.triggerRiff(riff, modifierState_ | keyboard_.GetShiftFromModifierKeys());
        soundingKey_ = name;
    }
    if (host_.redraw)
        host_.redraw();
}

void KeyBindings::ReleaseKey(const std::string& name)
{
    keyboard_.SetState(name, TKBButton::StateInitial);
    for (THeldKey& k : held_)
        if (k.name == name)
            k.live = false;
    const std::string riff = ReleaseRiff(name);
    if (!riff.empty() && host_.stopRiff)
        host_.stopRiff(riff);
    // Another key (a click while a key goes up) keeps sounding.
    if (soundingKey_ == name)
        soundingKey_.clear();
    if (host_.refreshHover)
        host_.refreshHover();
    if (host_.redraw)
        host_.redraw();
}

void KeyBindings::LatchSoundingKey()
{
    // A latched modifier would swallow its own key-up and stay on.
    if (startedRiffs_.count(soundingKey_) != 0)
        latchedKey_ = soundingKey_;
}

void KeyBindings::MouseDown(int x, int y)
{
    const std::string name = keyboard_.KeyAtPoint(boundNames_, x, y);
    if (name.empty())
        return;
    if (!soundingKey_.empty()) {
        const TKBButton* sounding = keyboard_.Find(soundingKey_);
        if (!(sounding && sounding->slim))
            ReleaseKey(soundingKey_);
    }
    PressKey(name);
}

void KeyBindings::MouseUp()
{
    if (soundingKey_.empty() || !latchedKey_.empty())
        return;
    const TKBButton* sounding = keyboard_.Find(soundingKey_);
    if (!(sounding && sounding->slim))
        ReleaseKey(soundingKey_);
}

bool KeyBindings::MouseMove(int x, int y)
{
    if (!soundingKey_.empty())
        return false;
    switch (keyboard_.HoverAt(boundNames_, x, y)) {
    case OnScreenKeyboard::THover::Entered: {
        const std::string riff = RiffForKey(keyboard_.HoveredKey());
        if (!riff.empty() && host_.showRiff)
            host_.showRiff(riff);
        if (host_.redraw)
            host_.redraw();
        break;
    }
    case OnScreenKeyboard::THover::Left:
        if (host_.redraw)
            host_.redraw();
        if (host_.showCurrentRiff)
            host_.showCurrentRiff();
        break;
    case OnScreenKeyboard::THover::Unchanged:
        break;
    }
    return true;
}

std::string KeyBindings::PressRiff(const std::string& name)
{
    std::string riff = RiffForKey(name);
    if (riff.empty())
        startedRiffs_.erase(name);
    else
        startedRiffs_[name] = riff;
    return riff;
}

std::string KeyBindings::ReleaseRiff(const std::string& name)
{
    const auto it = startedRiffs_.find(name);
    if (it == startedRiffs_.end())
        return RiffForKey(name);
    std::string riff = it->second;
    startedRiffs_.erase(it);
    return riff;
}

std::string KeyBindings::FirstBoundRiff(int direction) const
{
    const int count = boundNames_.Count();
    for (int n = 0; n < count; ++n) {
        const int i = direction < 0 ? count - 1 - n : n;
        std::string riff = RiffOfKey(i);
        if (!riff.empty())
            return riff;
    }
    return {};
}

std::optional<KeyBindings::TRiffChoice> KeyBindings::NeighbourRiff(int direction, const std::string& current,
                                                                   TShiftState currentSet)
{
    if (boundNames_.Count() == 0)
        return std::nullopt;
    direction = direction < 0 ? -1 : 1;
    std::string candidate;
    if (current.empty()) {
        candidate = RiffOfKey(0);
    } else {
        keyboard_.SetModifierKeysFromShift(currentSet);
        Build(currentSet);
        for (int i = 0; i < boundNames_.Count(); ++i)
            if (RiffOfKey(i) == current) {
                candidate = RiffOfKey(i + direction);  // "" past either end
                break;
            }
    }
    // Each of the three sets is tried once, so a mode that binds no riff ends the search.
    for (int tries = 0; candidate.empty() && tries < 3; ++tries) {
        keyboard_.StepBindingSet(direction);
        Build(keyboard_.GetShiftFromModifierKeys());
        candidate = FirstBoundRiff(direction);
    }
    if (candidate.empty())
        return std::nullopt;
    return TRiffChoice{candidate, keyboard_.GetShiftFromModifierKeys()};
}
