#pragma once
// How the main window chooses a video file and places the video window for a tutorial entry.
// Pure functions apart from the file test; GUI thread or any.
#include <string>

class TDVContext;

// The inverted version's name: "_180" before the last "." of the file's own name, or appended
// when the name has none (a "." in a folder name does not count).
[[nodiscard]] std::string InvertedVideoName(const std::string& file);

// The file to play: the inverted version when the settings' "UseInvertedVideo" exists, is true and
// that file exists; else file itself.
[[nodiscard]] std::string ChooseVideoFile(const std::string& file, TDVContext* settings);

// Where a tutorial entry puts the video window on a screen of the given size. The window first
// goes to (0, 0) with the screen's width and size ratio 0; "Size" 1 gives the entry's rectangle
// (a negative left or top centres it in that direction) with the bar added to its height, 2 full
// screen, 3 a double-width ratio, 4 the entry's "Aspect". Other values keep the default.
struct TVideoPlacement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = -1;  // window height; -1: unchanged
    float sizeRatio = 0;
    bool fullScreenPending = false;
};
[[nodiscard]] TVideoPlacement TutorialVideoPlacement(int size, int left, int top, int width, int height,
                                                     float aspect, int screenWidth, int screenHeight,
                                                     int barHeight);
