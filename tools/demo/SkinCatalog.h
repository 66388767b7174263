#pragma once
// Every picture of the skin folder "Pics01" with the size the main window places it at: the area
// pictures, the buttons in their states, the mode list, the sliders, the fretboard spots and the
// key skin. The generator draws from these tables and the tests check the files against them.
#include <string>
#include <vector>

namespace demo {

enum class SkinArea { Controls, Animation, Notation };

struct SkinButton {
    std::string stem;    // file name before "Initial.png", "Mouse.png", "Pressed.png"
    SkinArea area;       // the picture it lies on
    int left, top, width, height;
    std::string label;
    bool optional;       // a skin may leave it out (this one does not)
    bool hasPressed;     // false where the mouse-down picture is the "Mouse" one
    bool alpha;          // drawn with transparency over the notation area
};

struct SkinPicture {
    std::string file;
    int width;
    int height;
};

[[nodiscard]] const std::vector<SkinButton>& SkinButtons();
// The state suffixes a button's pictures carry, "Initial", "Mouse" and (when it has one) "Pressed".
[[nodiscard]] std::vector<std::string> ButtonStates(const SkinButton& button);
// Every file the generator writes into the skin folder, with its size.
[[nodiscard]] std::vector<SkinPicture> SkinPictures();

inline constexpr int kSpotPictures = 5;     // "Spot01.png" .. "Spot05.png": open string, fingers 1-4
inline constexpr int kUpcomingSpots = 4;    // "UpcSpot0.png" .. "UpcSpot3.png"
inline constexpr int kSpotSize = 24;
inline constexpr int kThumbWidth = 250;
inline constexpr int kThumbHeight = 50;

} // namespace demo
