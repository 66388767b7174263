#pragma once
// The hot-key table: what a key outside the active binding set does, for each held modifier.
// Every key has a plain column and may have a Shift, an Alt and a Ctrl column; the held modifiers
// are tried in the order Shift, Alt, Ctrl, the first that has an entry for the key deciding, and a
// key without an entry for any held modifier takes its plain column. Space does what F9 does.
//
// The table only names commands; the main window runs them (TKorvaneForm::HotkeyCommand).
// Pure and stateless: any thread; nothing throws.
#include "platform/ui/TShiftState.h"

#include <cstdint>

enum class THotKeyCommand : std::uint8_t {
    None,              // the key is no hot key
    Stop,              // StopButtonClick
    Play,              // PlayButtonClick
    Pause,             // PauseButtonClick
    Help,              // HelpClick
    Settings,          // SettingsButtonClick
    CloseWindow,       // closes the main window
    Latch,             // the sounding key keeps sounding after its release
    PlayRiff,          // PlayRiffButtonClick
    PlayRiffWhileHeld, // PlayRiffButtonClick, its riff ending with the next key-up
    PrevClip,          // PrevClipButtonClick
    PlayClip,          // PlayClipButtonClick
    NextClip,          // NextClipButtonClick
    RiffVideo,         // VideoButtonClick
    TutorialVideos,    // TutorialVideoButtonClick
    RiffList,          // RiffListButtonClick
    HalfSpeed,         // HalfSpeedButtonClick
    CreateWave,        // WaveButtonClick
    Print,             // PrintButtonClick
    NextPage,          // RMP_NextButtonClick
    PrevPage,          // RMP_PrevButtonClick
    NextRiff,          // NextRiffButtonClick
    PrevRiff,          // PrevRiffButtonClick
    HistoryPrevRiff,   // HistoryPrevRiffButtonClick
    HistoryNextRiff,   // HistoryNextRiffButtonClick
    RhythmSlider,      // MelodyVolume (rhythm section) moves by argument tenths of its range
    SoloSlider,        // RiffVolume (solo guitar) moves by argument tenths of its range
    StepSetting,       // SetStepAdvance(argument)
};

enum class THotKeyColumn : std::uint8_t { Plain, Shift, Alt, Ctrl };

// One cell of the table.
struct THotKeyCell {
    THotKeyCommand command = THotKeyCommand::None;
    bool formSender = false;  // the handler gets the form as sender; else a null sender
    int argument = 0;         // slider steps: +1 or -1 (a higher position is a lower volume); step settings: -1..3
    bool operator==(const THotKeyCell&) const = default;
};

class HotKeyTable {
public:
    // The cell of key (a virtual-key code) in column, exactly as the table has it: None for an
    // empty cell or a key the table does not know. Space reads F9's row.
    [[nodiscard]] static THotKeyCell Cell(std::uint16_t key, THotKeyColumn column);
    // The cell a key-down with the held modifiers reaches (the column rule above).
    [[nodiscard]] static THotKeyCell Lookup(std::uint16_t key, TShiftState shift);
    // Slider steps repeat while their key is held; every other command runs once per press.
    [[nodiscard]] static bool RepeatsWhileHeld(const THotKeyCell& cell);
};
