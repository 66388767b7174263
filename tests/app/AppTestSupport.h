#pragma once
// Helpers shared by the application tests: configuration trees from text, temporary folders,
// and message boxes, beeps, program ends and the keyboard's modifiers captured instead of shown,
// done or asked.
#include "app/mainform/ProgramEnd.h"
#include "config/TDVContext.h"
#include "platform/ui/MessageBox.h"
#include "platform/system/TStringList.h"
#include "platform/ui/VirtualKeysQt.h"
#include "TestFolder.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// How long a test waits for something the program is about to do (a timer, a posted message, a
// sound that ends, a video that starts) before it gives up: far beyond what a loaded machine
// takes, so that only a fault reaches it.
inline constexpr int kEventDeadlineMs = 30000;

inline void LoadText(TDVContext& root, const std::string& text)
{
    TStringList lines;
    lines.SetText(text);
    root.LoadFromStrings(lines, 0, 0);
}

// A test's own folder, with the ways the application tests fill and read it.
struct TempFolder : TestFolder {
    TempFolder() : TestFolder("korvane-app-") {}

    // The folder with a trailing "/", as the program's folder is given.
    [[nodiscard]] std::string Dir() const { return path.string() + "/"; }
    void Write(const std::string& name, const std::string& text) const { std::ofstream(path / name, std::ios::binary) << text; }
    [[nodiscard]] std::string Read(const std::string& name) const
    {
        std::ifstream in(path / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    [[nodiscard]] bool Exists(const std::string& name) const { return std::filesystem::exists(path / name); }

    const std::filesystem::path& path = Path();
};

// While alive: every message box is recorded and answered with `answer` (the default button
// when 0), every beep counted, EndProgram records its exit code and returns, and the keyboard
// holds the modifiers `held` (none unless a test says so: the key events tests send hold none).
struct CapturedUi {
    CapturedUi()
    {
        boxBefore = SetMessageBoxHandler([this](const TMessageBoxRequest& r) {
            boxes.push_back(r);
            return answer ? answer : DefaultMessageBoxAnswer(r.flags);
        });
        beepBefore = SetBeepHandler([this] { ++beeps; });
        endBefore = SetProgramEndHandler([this](int code) { exitCodes.push_back(code); });
        heldBefore = SetHeldModifiersQuery([this] { return held; });
    }
    ~CapturedUi()
    {
        SetMessageBoxHandler(boxBefore);
        SetBeepHandler(beepBefore);
        SetProgramEndHandler(endBefore);
        SetHeldModifiersQuery(heldBefore);
    }
    CapturedUi(const CapturedUi&) = delete;
    CapturedUi& operator=(const CapturedUi&) = delete;

    std::vector<TMessageBoxRequest> boxes;
    int beeps = 0;
    std::vector<int> exitCodes;
    int answer = 0;
    TShiftState held = 0;

private:
    TMessageBoxHandler boxBefore;
    TBeepHandler beepBefore;
    TProgramEndHandler endBefore;
    THeldModifiersQuery heldBefore;
};
