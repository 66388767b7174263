#pragma once
// The on-screen keyboard of the demo: two rows of letter keys for riffs and the three modifier
// keys that switch binding sets, laid out on the 508 x 178 keyboard area.
#include <string>
#include <vector>

namespace demo {

struct DemoKey {
    std::string name;     // entry ID of "keyboard.key"
    std::string caption;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int scanCode = 0;     // Windows virtual-key code
    bool slim = false;    // on-screen toggle
    std::string skin;     // a key skin name, or "none"
};

inline constexpr const char* kKeySkinName = "KeyPick";

// The window lays the riff position bar (1000 x 16, at 8 from the left, 2 below the notation
// area) over the tops of the keyboard and animation areas: rows of those areas above this one
// are hidden while a riff is shown. Area coordinates.
inline constexpr int kRiffBarBottom = 2 + 16;

[[nodiscard]] const std::vector<DemoKey>& DemoKeys();

} // namespace demo
