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

[[nodiscard]] const std::vector<DemoKey>& DemoKeys();

} // namespace demo
