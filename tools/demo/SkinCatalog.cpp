#include "demo/SkinCatalog.h"

#include "demo/DemoKeyboard.h"
#include "demo/DemoModel.h"
#include "demo/FretboardGeometry.h"
#include "demo/PageLayout.h"

#include <cstdio>

namespace demo {

const std::vector<SkinButton>& SkinButtons()
{
    using A = SkinArea;
    static const std::vector<SkinButton> buttons{
        {"Next", A::Notation, 948, 225, 34, 24, ">", true, true, true},
        {"Previous", A::Notation, 26, 224, 34, 24, "<", true, true, true},
        {"RiffList", A::Animation, 103, 28, 76, 36, "Riff list", true, true, false},
        {"05AA", A::Animation, 103, 66, 76, 36, "1/2 speed", true, true, false},
        {"NextRiff", A::Animation, 62, 103, 36, 26, ">", false, true, false},
        {"PreviousRiff", A::Animation, 24, 103, 36, 26, "<", false, true, false},
        {"HistoryNextRiff", A::Animation, 62, 132, 36, 26, "\xC2\xBB", true, true, false},
        {"HistoryPreviousRiff", A::Animation, 24, 132, 36, 26, "\xC2\xAB", true, true, false},
        {"Play", A::Controls, 382, 56, 57, 47, "Play", false, true, false},
        {"PlayRiff", A::Animation, 23, 66, 76, 36, "Play riff", false, true, false},
        {"Stop", A::Controls, 446, 56, 57, 47, "Stop", false, true, false},
        {"Pause", A::Controls, 510, 56, 57, 47, "Pause", false, true, false},
        {"Speaker", A::Controls, 94, 62, 52, 36, "Mixer", false, true, false},
        {"Video", A::Controls, 844, 62, 76, 36, "Video", false, true, false},
        {"Video2", A::Animation, 23, 28, 76, 36, "Video", false, true, false},
        {"Save", A::Controls, 574, 62, 76, 36, "Save WAV", false, true, false},
        {"Print", A::Controls, 928, 62, 76, 36, "Print", false, true, false},
        {"TutorialVideo", A::Controls, 214, 62, 76, 36, "Tutorials", false, true, false},
        {"Settings", A::Controls, 11, 62, 76, 36, "Settings", false, true, false},
        {"Help", A::Controls, 154, 62, 52, 36, "Help", false, true, false},
        {"About", A::Controls, 298, 62, 76, 36, "About", false, true, false},
        {"HVLogo", A::Controls, 888, 5, 122, 46, "HV", false, false, false},
        {"Korvane", A::Controls, 9, 12, 194, 39, "KORVANE 2", false, false, false},
        {"GameMode", A::Controls, 339, 12, 265, 39, "", false, true, false},
        {"PlayClip", A::Animation, 103, 103, 76, 26, "Clips", true, true, false},
        {"PlayClipNext", A::Animation, 142, 132, 36, 26, ">|", true, true, false},
        {"PlayClipPrev", A::Animation, 104, 132, 36, 26, "|<", true, true, false},
    };
    return buttons;
}

std::vector<std::string> ButtonStates(const SkinButton& button)
{
    if (button.hasPressed)
        return {"Initial", "Mouse", "Pressed"};
    return {"Initial", "Mouse"};
}

std::vector<SkinPicture> SkinPictures()
{
    std::vector<SkinPicture> p{
        {"ControlsArea.png", 1016, 112},  {"FretboardArea.png", kFretboardWidth, kFretboardHeight},
        {"NoteArea.png", 1016, 249},      {"KeyboardArea.png", 508, 178},
        {"AnimationArea.png", 508, 178},  {"BGN01.png", 64, 64},
        {"GameModeListInitial.png", 249, 22}, {"GameModeListMouse.png", 249, 22},
        {"GameModeListPressed.png", 249, 22}, {"RhythmVolume.png", 35, 90},
        {"VolumeInitial.png", 25, 14},    {"VolumeMouse.png", 25, 14},
        {std::string(kKeySkinName) + ".png", 14, 14},
    };
    for (const SkinButton& b : SkinButtons())
        for (const std::string& state : ButtonStates(b))
            p.push_back({b.stem + state + ".png", b.width, b.height});
    for (int i = 1; i <= kSpotPictures; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Spot%02d", i);
        p.push_back({std::string(name) + ".png", kSpotSize, kSpotSize});
        p.push_back({std::string(name) + "C.png", kSpotSize, kSpotSize});
    }
    for (int i = 0; i < kUpcomingSpots; ++i)
        p.push_back({"UpcSpot" + std::to_string(i) + ".png", kSpotSize, kSpotSize});
    for (const DemoMode& mode : DemoModes())
        for (const DemoRiff& riff : mode.riffs) {
            for (int bar = 0; bar < riff.bars; ++bar) {
                p.push_back({PagePrefix(riff, bar) + ".png", kPageWidth, kPageHeight});
                p.push_back({PagePrefix(riff, bar) + "f.png", kPageWidth, kPageHeight});
            }
            if (riff.thumbnail)
                p.push_back({riff.prefix + "sm.png", kThumbWidth, kThumbHeight});
        }
    return p;
}

} // namespace demo
