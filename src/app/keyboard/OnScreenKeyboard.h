#pragma once
// The keyboard drawn in the keyboard area: its keys (TKBButton, by name) and key colour schemes
// (TKBColSch, by name) read from the configuration, the on-screen modifier keys "SHIFT", "ALT"
// and "CTRL", the key under the mouse, and the drawing of the keys of the active binding set.
//
// Thread: GUI thread only. Ownership: holds its keys and schemes by value; drawing borrows the
// canvas, pictures and contexts it is given. Failure: loading throws the configuration's
// Exception for a missing key; nothing else throws.
#include "app/keyboard/TKBButton.h"
#include "app/keyboard/TKBColSch.h"
#include "platform/ui/TShiftState.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TBitmap;
class TCanvas;
class TDVContext;
class TStringList;

class OnScreenKeyboard {
public:
    static constexpr const char* ShiftKey = "SHIFT";
    static constexpr const char* AltKey = "ALT";
    static constexpr const char* CtrlKey = "CTRL";

    // What a mouse move over the keyboard changed.
    enum class THover {
        Unchanged,  // nothing to redraw
        Entered,    // HoveredKey() is a new key: show its riff, redraw
        Left,       // the pointer left the hovered key: show the current riff again, redraw
    };

    // Everything DrawKeys needs besides the keys.
    struct TDrawInput {
        TBitmap* background = nullptr;            // copied over the whole image first; may be null
        const TStringList* boundNames = nullptr;  // keys of the active binding set; null: none drawn
        std::function<std::string(const std::string& key)> riffOfKey;  // "" for an unbound key
        TDVContext* mode = nullptr;               // for "riff[#].color_scheme"; null: default scheme
        std::string currentRiff;                  // its keys get the red outline
        const TStringList* skinNames = nullptr;   // "keyboard.key_skins"
        const std::vector<std::unique_ptr<TBitmap>>* skins = nullptr;  // one bitmap per skin name
    };

    // Replaces the keys by the entries of "keyboard.key" of root, in list order (a later entry of
    // the same name replaces an earlier one).
    void LoadLayout(TDVContext* root);
    // Replaces the schemes by the entries of the root's list "color_schemes".
    void LoadColorSchemes(TDVContext* root);

    [[nodiscard]] const std::map<std::string, TKBButton>& Keys() const { return keys_; }
    [[nodiscard]] const std::map<std::string, TKBColSch>& Schemes() const { return schemes_; }
    // null when there is no key of that name.
    [[nodiscard]] TKBButton* Find(const std::string& name);
    [[nodiscard]] const TKBButton* Find(const std::string& name) const;
    // The key's state; "" for an unknown key. Setting the state of an unknown key does nothing.
    [[nodiscard]] std::string State(const std::string& name) const;
    void SetState(const std::string& name, const std::string& state);
    [[nodiscard]] bool IsPressed(const std::string& name) const;
    // The scheme of that name, or the default scheme when it is not defined.
    [[nodiscard]] const TKBColSch& Scheme(const std::string& name) const;

    // Shift, Alt and Ctrl for the on-screen modifier keys that are pressed.
    [[nodiscard]] TShiftState GetShiftFromModifierKeys() const;
    // Each on-screen modifier "pressed" when shift holds it, else "initial". The caller rebuilds
    // the binding set (KeyBindings::Build).
    void SetModifierKeysFromShift(TShiftState shift);
    // 2 when "ALT" is pressed, else 1 when "SHIFT" is, else 0.
    [[nodiscard]] int GetBindingSetIndex() const;
    // Moves "SHIFT" and "ALT" to the neighbouring set (step -1 or +1, wrapping); "CTRL" stays.
    // The caller rebuilds the binding set.
    void StepBindingSet(int step);

    // The first of names whose key holds the point (edges included); "" when none does.
    [[nodiscard]] std::string KeyAtPoint(const TStringList& names, int x, int y) const;

    // The key under the mouse, "" for none.
    [[nodiscard]] const std::string& HoveredKey() const { return hovered_; }
    // Follows the pointer over the keys of names: the key under it turns "mouse" (when it was
    // "initial") and the one left behind "initial" again (when it was "mouse").
    [[nodiscard]] THover HoverAt(const TStringList& names, int x, int y);
    // When a key is hovered and names is not empty, every key of names but the modifier keys
    // becomes "initial"; the hovered key is forgotten in every case. True when one was hovered.
    bool ResetHover(const TStringList& names);

    // Draws the background and every key of the active binding set onto canvas.
    void DrawKeys(TCanvas& canvas, const TDrawInput& input) const;

private:
    std::map<std::string, TKBButton> keys_;
    std::map<std::string, TKBColSch> schemes_;
    TKBColSch defaultScheme_;
    std::string hovered_;
};
