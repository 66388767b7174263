#pragma once
// The transcription display: the notation page of the riff being played. At every mode change it
// decodes the pages of all the mode's riffs (the "file_prefix" lists of "riff[#]", with an "f"
// fingering variant when "settings.ShowFingeringOnTranscriptions" is on) into frames of one
// sprite, behind the busy window ("Loading images..."), so that showing a page during play is
// only a switch of animation. "SHOWRIFF:" + riff name shows the page whose number is the event's
// parameter; "HIDERIFF" hides it. Page names are matched without regard to letter case, as the
// files they name are found.
//
// Thread: GUI thread only. Ownership: the environment owns the object; the image, the busy window
// and the environment are borrowed and outlive it; the sprite library and scene are owned and
// replaced at every mode change. Failure: LoadImages throws the class library's Exception
// ("Out of memory!", "File not found:..." for a missing page or "NoteArea.png", the
// configuration API's errors) and leaves the busy window up; OnEvent throws for an unknown riff or
// a page that was not loaded. A mode without riffs or pages shows nothing.
#include "app/game/TGameObj.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class TAScene;
class TASpriteInstance;
class TASpriteLibrary;
class TBusyFrm;
class TImage;
class TKorvaneEnv;

class TRiffImageObj : public TGameObj {
public:
    // Subscribes to "SHOWRIFF" and "HIDERIFF"; no scene until the first mode change. busy is
    // asked for the busy window at every loading; empty, or answering null, loads the pages
    // without one.
    TRiffImageObj(TGameEnvObj* env, TImage* image, std::string imagesDir, std::function<TBusyFrm*()> busy);
    ~TRiffImageObj() override;

    // The environment's maker of this object on its notation image; a null image makes none.
    [[nodiscard]] static std::function<std::unique_ptr<TGameObj>(TKorvaneEnv&, TImage*)>
    Maker(std::string imagesDir, std::function<TBusyFrm*()> busy);

    // Loads the pages of the current mode (see LoadImages).
    void OnModeChanged(std::int32_t param) override;
    void OnEvent(const TGameEnvObj::TGameEvent& event, std::int32_t param) override;
    // Each does nothing until the first mode change made the scene.
    void Update() override;
    void Draw() override;
    void Refresh(bool flag) override;
    void OnNewGame(std::int32_t param) override;
    // Always true: the object makes its scene at the mode change, so it must hear of it.
    [[nodiscard]] bool HasScene() const override { return true; }

    // Replaces the library and scene with the pages of the current mode and "NoteArea.png" as
    // the background; the page stays hidden.
    void LoadImages();
    // Hides the page and repaints the whole background.
    void HideAll();

    // The page instance; null before the first mode change and when the mode has no page.
    [[nodiscard]] TASpriteInstance* Page() const;
    // Number of distinct pages the last LoadImages decoded.
    [[nodiscard]] int PageCount() const { return int(pages_.size()); }

private:
    [[nodiscard]] static std::string FoldCase(const std::string& text);

    std::int32_t clock_ = 0;
    // Declared before the scene: the scene borrows the library's instances and must go first.
    std::unique_ptr<TASpriteLibrary> library_;
    std::unique_ptr<TAScene> scene_;
    TImage* image_ = nullptr;
    std::string imagesDir_;
    std::function<TBusyFrm*()> busy_;
    // Page name folded to lower case -> the name of its animation (the name first loaded).
    std::map<std::string, std::string> pages_;
};
