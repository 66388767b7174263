#pragma once
// The program's game environment: the generic environment plus the configuration root, the list
// of game modes (the IDs of the configuration list "mode", in file order) and the current mode,
// and the two display objects made on the area images: the fretboard and the transcription.
//
// Thread: GUI thread only. Ownership: the root and the four images are borrowed and must outlive
// the environment; the display objects are owned (through the base). Failure: the configuration
// API's Exception passes through for a missing mode, context or key; GetModeName past the end of
// the mode list throws the string list's index error.
#include "app/game/TGameEnvObj.h"
#include "platform/system/TStringList.h"

#include <functional>
#include <memory>
#include <string>

class TImage;

class TKorvaneEnv : public TGameEnvObj {
public:
    // Makes one display object on its area image. The object subscribes to its events in its
    // own constructor; the environment takes ownership. Returning null leaves the display out.
    using TObjectMaker = std::function<std::unique_ptr<TGameObj>(TKorvaneEnv& env, TImage* image)>;
    // The makers of the fretboard object (on the fretboard image) and of the transcription object
    // (on the notation image). An empty maker makes nothing.
    struct TObjectMakers {
        TObjectMaker fretboard;
        TObjectMaker transcription;
    };
    // The makers the five-argument constructor uses; set once at start-up by the units that
    // define the display objects. Returns the makers in force before.
    static TObjectMakers SetDefaultObjectMakers(TObjectMakers makers);

    // Reads the mode IDs and the current mode ("current_mode" of the settings context, as text),
    // then makes the fretboard and transcription objects with the default makers.
    TKorvaneEnv(TDVContext* root, TImage* fretboardImage, TImage* keyboardImage, TImage* notationImage,
                TImage* animationImage);
    TKorvaneEnv(TDVContext* root, TImage* fretboardImage, TImage* keyboardImage, TImage* notationImage,
                TImage* animationImage, const TObjectMakers& makers);
    ~TKorvaneEnv() override;

    // Drops the queue; unless name is the current mode and force is false: BeforeModeChange, the
    // current mode := name, ModeChanged(param).
    void SetMode(const std::string& name, std::int32_t param, bool force) override;
    // The root's "general" and "settings" contexts.
    [[nodiscard]] TDVContext* GetGeneralContext() override;
    [[nodiscard]] TDVContext* GetSettingsContext() override;
    // The entry of "mode[#]" with that ID; an empty name stands for the current mode.
    [[nodiscard]] TDVContext* FindMode(const std::string& name) override;
    // "END_GAME", "NEW_GAME", "PAUSE_GAME" and "UNPAUSE_GAME" set the state (the first also ends
    // the game); other names do nothing.
    void OnEvent(const TGameEvent& event, std::int32_t param) override;

    // "title_in_combo" and "title_in_drop" of the mode's context.
    [[nodiscard]] std::string GetModeComboTitle(const std::string& name);
    [[nodiscard]] std::string GetModeDropTitle(const std::string& name);
    // Appends the drop title of every mode, in mode order.
    void FillModeList(TStringList& strings);
    // The mode ID at index; a negative index stands for the current mode's position, and when the
    // current mode is not a listed mode the name is empty.
    [[nodiscard]] std::string GetModeName(int index);
    // Asked by Play before a game starts; always true.
    [[nodiscard]] bool CanStart() { return true; }

    [[nodiscard]] TDVContext* Root() const { return root_; }
    [[nodiscard]] const std::string& CurrentMode() const { return currentMode_; }
    [[nodiscard]] const TStringList& Modes() const { return modes_; }
    // Owned by the environment; null when its maker made none.
    [[nodiscard]] TGameObj* Fretboard() const { return fretboard_; }
    [[nodiscard]] TGameObj* Transcription() const { return transcription_; }
    [[nodiscard]] TImage* FretboardImage() const { return fretboardImage_; }
    [[nodiscard]] TImage* KeyboardImage() const { return keyboardImage_; }
    [[nodiscard]] TImage* NotationImage() const { return notationImage_; }
    [[nodiscard]] TImage* AnimationImage() const { return animationImage_; }

private:
    TDVContext* root_ = nullptr;
    TGameObj* fretboard_ = nullptr;
    TGameObj* transcription_ = nullptr;
    std::string currentMode_;
    TImage* fretboardImage_ = nullptr;
    TImage* keyboardImage_ = nullptr;
    TImage* notationImage_ = nullptr;
    TImage* animationImage_ = nullptr;
    TStringList modes_;
};
