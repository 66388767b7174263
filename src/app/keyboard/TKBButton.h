#pragma once
// One key of the on-screen keyboard: the computer key it stands for, where it is drawn, its skin
// picture and its state. Plain data held by value in the keyboard's key map; copyable.
#include <cstdint>
#include <string>

class TDVContext;

struct TKBButton {
    static constexpr const char* StateInitial = "initial";
    static constexpr const char* StateMouse = "mouse";
    static constexpr const char* StatePressed = "pressed";

    std::int32_t scan_code = 0;  // Windows virtual-key code
    std::string name;
    std::string Caption;
    std::int32_t top = 0;
    std::int32_t left = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool slim = false;  // toggles: a second press releases it
    std::string skin;   // a key skin name; one that is not a key skin draws no picture
    std::string state = StateInitial;  // any text other than "initial" and "mouse" draws as pressed

    // Reads "Caption", "left", "top", "width", "height", "skin", "scan_code", "slim" and "state"
    // of a "key[#]" context. Throws the configuration's Exception for a missing key.
    [[nodiscard]] static TKBButton FromContext(const std::string& name, TDVContext* key);

    // The point lies on the key, edges included.
    [[nodiscard]] bool Contains(int x, int y) const;
    [[nodiscard]] bool IsPressed() const { return state == StatePressed; }
    // Shift, Ctrl and Alt keep their state when hovering resets the others.
    [[nodiscard]] bool IsModifier() const { return scan_code >= 16 && scan_code <= 18; }
};
