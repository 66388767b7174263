#pragma once
// The fretboard display: every reported note of a guitar string channel (10 to 15) lights a spot
// on the string and fret where the note lies, for the current tuning (_StringTuning). Controller
// events choose the next note's spot picture and finger label; upcoming notes are shown ahead of
// time with their own pictures. Around the spots it draws note outlines, outlines filled with the
// finger's colour and finger-number captions.
//
// Spot number = string * 25 + fret (150 spots). The positions are the general context's
// "Fretboard.X[#]" (fret + 1) and "Fretboard.chord[#].Y[#]" (string + 1, fret + 1); the labels
// "Fretboard.BLabel[#]". Pictures come from the images folder: "Spot01.png" on (with their
// "C.png" variants, the bent notes) and "UpcSpot0.png" on; their count sets _UpcomingSteps.
//
// Thread: GUI thread only. Ownership: the environment owns the object; the image and the
// environment are borrowed and outlive it; the sprite library and scene are owned. Failure:
// throws the class library's Exception: the constructor when "Spot01.png" is missing
// ("Animation:0  not found ..."), OnEvent for a missing configuration key or a spot picture the
// sprite lacks, LoadBackground for a missing file ("File not found:...").
#include "app/game/TGameObj.h"
#include "platform/drawing/TColor.h"
#include "platform/drawing/TRect.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class TAScene;
class TASpriteInstance;
class TASpriteLibrary;
class TImage;
class TKorvaneEnv;

class TFretboardObj : public TGameObj {
public:
    static constexpr int kStrings = 6;
    static constexpr int kFrets = 25;
    static constexpr int kSpots = kStrings * kFrets;

    // A finger-number caption: its top-left corner on the image, colour (0x00BBGGRR) and size.
    struct TextCaption {
        std::string text;
        std::int32_t X = 0;
        std::int32_t Y = 0;
        TColor color = 0;
        std::int32_t fontSize = 0;
    };

    // Loads the spot pictures of imagesDir (a folder name ending in a separator), makes the 150
    // hidden spots, sets _UpcomingSteps and subscribes to "MIDIOFF", "NOTEON", "NOTEOFF",
    // "MIDICTRL" and "UPC_NOTEON". image must not be null.
    TFretboardObj(TGameEnvObj* env, TImage* image, std::string imagesDir);
    ~TFretboardObj() override;

    // The environment's maker of this object on its fretboard image; a null image makes none.
    [[nodiscard]] static std::function<std::unique_ptr<TGameObj>(TKorvaneEnv&, TImage*)> Maker(std::string imagesDir);

    // The parameter of an "UPC_NOTEON" event that carries its own step: step + 1 in bits 16 to
    // 23 over channel * 256 + note. An event without those bits uses UpcomingStep().
    [[nodiscard]] static std::int32_t UpcomingEventParam(int step, int channel, int note);

    void Draw() override;
    void Update() override;
    void Refresh(bool flag) override;
    void OnNewGame(std::int32_t param) override;
    void OnEndGame(std::int32_t param) override;
    void OnEvent(const TGameEnvObj::TGameEvent& event, std::int32_t param) override;

    // Hides every spot and repaints the whole background.
    void HideSpots();
    // The images folder's fileName becomes the background of the scene and the picture of the
    // image; every spot is hidden. Throws "File not found:..." for a missing file.
    void LoadBackground(const std::string& fileName);

    // Display options; the game mode loading sets them from the settings of the same names.
    bool ShowShapes = false;
    bool ShowFingering = true;
    bool ShowFilledShapes = false;
    bool ShowColorSpots = false;

    // The picture an "UPC_NOTEON" without a step of its own uses ("UPN" + step).
    [[nodiscard]] std::int32_t UpcomingStep() const { return upcomingStep_; }
    void SetUpcomingStep(std::int32_t step) { upcomingStep_ = step; }

    // Spot number of a note event's parameter (channel * 256 + note) for the current tuning.
    [[nodiscard]] static int SpotOf(std::int32_t param);
    // Owned by the object's scene; null outside 0 .. kSpots - 1.
    [[nodiscard]] TASpriteInstance* Spot(int spot) const;
    [[nodiscard]] const std::map<int, TextCaption>& Captions() const { return captions_; }
    [[nodiscard]] const std::map<int, TRect>& Shapes() const { return shapes_; }
    [[nodiscard]] const std::map<int, TColor>& ShapeColors() const { return shapeColors_; }

private:
    // Shows the spot at its configured position and marks it for drawing.
    void Place(TASpriteInstance* spot, int string, int fret);
    void NoteOn(int spot, int string, int fret);
    void ClearOverlays();
    [[nodiscard]] static TColor ColorOf(TDVContext* label, const std::string& key);

    std::int32_t upcomingStep_ = 0;
    std::int32_t sceneClock_ = 0;
    std::int32_t spotPicture_ = 0;
    std::int32_t labelIndex_ = 0;
    std::map<int, TextCaption> captions_;
    std::map<int, TRect> shapes_;
    std::map<int, TColor> shapeColors_;
    // Declared before the scene: the scene borrows the library's instances and must go first.
    std::unique_ptr<TASpriteLibrary> library_;
    std::unique_ptr<TAScene> scene_;
    TImage* image_ = nullptr;
    std::string imagesDir_;
    // Captions plus shapes painted straight onto the canvas by the last Draw; they are wiped by
    // a full redraw. 1 at first, so the first Draw paints everything.
    int drawnOverlays_ = 1;
};
