#include "demo/DemoKeyboard.h"

namespace demo {

const std::vector<DemoKey>& DemoKeys()
{
    static const std::vector<DemoKey> keys = [] {
        // The rows start below the riff position bar, which the window lays over the top of the
        // keyboard area.
        constexpr int row1 = kRiffBarBottom + 6;
        constexpr int row2 = row1 + 50;
        constexpr int row3 = row2 + 50;
        std::vector<DemoKey> k;
        const std::string top = "QWERTYUI";
        const std::string home = "ASDFGHJK";
        for (std::size_t i = 0; i < top.size(); ++i) {
            const std::string n(1, top[i]);
            k.push_back({n, n, 14 + static_cast<int>(i) * 60, row1, 54, 44, top[i], false, kKeySkinName});
        }
        for (std::size_t i = 0; i < home.size(); ++i) {
            const std::string n(1, home[i]);
            k.push_back({n, n, 24 + static_cast<int>(i) * 60, row2, 54, 44, home[i], false, kKeySkinName});
        }
        k.push_back({"SHIFT", "SHIFT", 14, row3, 110, 44, 16, true, "none"});
        k.push_back({"CTRL", "CTRL", 130, row3, 90, 44, 17, true, "none"});
        k.push_back({"ALT", "ALT", 226, row3, 90, 44, 18, true, "none"});
        return k;
    }();
    return keys;
}

} // namespace demo
