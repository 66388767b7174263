#pragma once
// Helpers shared by the application tests: configuration trees from text, temporary folders,
// and message boxes, beeps, program ends and the keyboard's modifiers captured instead of shown,
// done or asked.
#include "app/mainform/ProgramEnd.h"
#include "config/TDVContext.h"
#include "platform/ui/MessageBox.h"
#include "platform/system/TStringList.h"
#include "platform/ui/VirtualKeysQt.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
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

// A fresh folder under the system's temporary folder, removed with everything in it.
struct TempFolder {
    TempFolder()
    {
        static int counter = 0;
        path = std::filesystem::temp_directory_path() /
               ("korvane-app-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with a trailing "/", as the program's folder is given.
    [[nodiscard]] std::string Dir() const { return path.string() + "/"; }
    void Write(const std::string& name, const std::string& text) const { std::ofstream(path / name, std::ios::binary) << text; }
    [[nodiscard]] std::string Read(const std::string& name) const
    {
        std::ifstream in(path / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    [[nodiscard]] bool Exists(const std::string& name) const { return std::filesystem::exists(path / name); }

    std::filesystem::path path;
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
