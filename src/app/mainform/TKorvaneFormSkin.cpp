// The main window's controls, their fixed geometry and the skin pictures.
#include "app/mainform/TKorvaneForm.h"
#include "app/mainform/MakeControl.h"

#include <QImage>
#include <QPixmap>

#include "config/TDVContext.h"
#include "controls/THVList.h"
#include "controls/THVPanel.h"
#include "controls/THVSlider.h"
#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/ui/MessageBox.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"
#include "platform/drawing/TFont.h"
#include "platform/ui/TImage.h"
#include "platform/ui/TLabel.h"
#include "platform/ui/TPanel.h"
#include "platform/drawing/TPicture.h"
#include "platform/ui/TTimer.h"
#include "sprite/PicUtils.h"

#include <algorithm>
#include <new>

namespace {

constexpr TColor kRiffPositionColor = 0x0000A5FF;  // orange (BGR)

void NoBevel(TPanel* panel)
{
    panel->SetBevelOuter(bvNone);
    panel->SetBevelInner(bvNone);
    panel->SetCaption("");
}

}  // namespace

std::string TKorvaneForm::ImageFile(const std::string& name) const
{
    return _ImagesDir + name;
}

void TKorvaneForm::CreateControls()
{
    globalPanel_ = std::make_unique<TPanel>(nullptr);
    GlobalPanel = globalPanel_.get();
    TPanel* g = GlobalPanel;
    g->SetName("GlobalPanel");
    g->SetBounds(0, 0, 1016, 710);
    NoBevel(g);

    ControlPanel = Make<TPanel>(g, g, "ControlPanel", 0, 0, 1016, 112);
    NoBevel(ControlPanel);
    ControlImage = Make<TImage>(g, ControlPanel, "ControlImage", 0, 0, 1016, 112);
    ControlImage->SetAlign(alClient);
    KorvaneButton = Make<THVPanel>(g, ControlPanel, "KorvaneButton", 9, 12, 194, 39);
    CurrentMode = Make<THVPanel>(g, ControlPanel, "CurrentMode", 339, 12, 265, 39);
    AboutButton2 = Make<THVPanel>(g, ControlPanel, "AboutButton2", 888, 5, 122, 46);
    SettingsButton = Make<THVPanel>(g, ControlPanel, "SettingsButton", 11, 62, 76, 36);
    VolumeControl = Make<THVPanel>(g, ControlPanel, "VolumeControl", 94, 62, 52, 36);
    HelpButton = Make<THVPanel>(g, ControlPanel, "HelpButton", 154, 62, 52, 36);
    TutorialVideoButton = Make<THVPanel>(g, ControlPanel, "TutorialVideoButton", 214, 62, 76, 36);
    AboutButton = Make<THVPanel>(g, ControlPanel, "AboutButton", 298, 62, 76, 36);
    PlayButton = Make<THVPanel>(g, ControlPanel, "PlayButton", 382, 56, 57, 47);
    StopButton = Make<THVPanel>(g, ControlPanel, "StopButton", 446, 56, 57, 47);
    PauseButton = Make<THVPanel>(g, ControlPanel, "PauseButton", 510, 56, 57, 47);
    WaveButton = Make<THVPanel>(g, ControlPanel, "WaveButton", 574, 62, 76, 36);
    MelodyVolume = Make<THVSlider>(g, ControlPanel, "MelodyVolume", 683, 22, 35, 90);
    RiffVolume = Make<THVSlider>(g, ControlPanel, "RiffVolume", 775, 22, 35, 90);
    VideoButton = Make<THVPanel>(g, ControlPanel, "VideoButton", 844, 62, 76, 36);
    PrintButton = Make<THVPanel>(g, ControlPanel, "PrintButton", 928, 62, 76, 36);

    FretboardAreaPanel = Make<TPanel>(g, g, "FretboardAreaPanel", 0, 112, 1016, 171);
    NoBevel(FretboardAreaPanel);
    FretboardAreaImage = Make<TImage>(g, FretboardAreaPanel, "FretboardAreaImage", 0, 0, 1016, 171);

    NotationAreaPanel = Make<TPanel>(g, g, "NotationAreaPanel", 0, 283, 1016, 249);
    NoBevel(NotationAreaPanel);
    NotationAreaImage = Make<TImage>(g, NotationAreaPanel, "NotationAreaImage", 0, 0, 1016, 249);
    RMP_PrevButton = Make<THVPanel>(g, NotationAreaPanel, "RMP_PrevButton", 0, 0, 26, 25);
    RMP_NextButton = Make<THVPanel>(g, NotationAreaPanel, "RMP_NextButton", 0, 0, 26, 25);
    for (THVPanel* button : {RMP_PrevButton, RMP_NextButton}) {
        button->SetUseAlpha(true);
        button->SetBackgroundImage(NotationAreaImage);
    }
    MessageLabel = Make<TLabel>(g, NotationAreaPanel, "MessageLabel", 0, 0, 994, 18);
    MessageLabel->SetAutoSize(false);
    MessageLabel->SetAlign(alTop);
    MessageLabel->Hide();

    KeyboardAreaPanel = Make<TPanel>(g, g, "KeyboardAreaPanel", 0, 532, 508, 178);
    NoBevel(KeyboardAreaPanel);
    KeyboardAreaImage = Make<TImage>(g, KeyboardAreaPanel, "KeyboardAreaImage", 0, 0, 508, 178);
    KeyboardAreaImage->SetAlign(alClient);

    AnimationAreaPanel = Make<TPanel>(g, g, "AnimationAreaPanel", 508, 532, 508, 178);
    NoBevel(AnimationAreaPanel);
    AnimationAreaImage = Make<TImage>(g, AnimationAreaPanel, "AnimationAreaImage", 0, 0, 508, 178);
    AnimationAreaImage->SetAlign(alClient);
    BarLabel = Make<TLabel>(g, AnimationAreaPanel, "BarLabel", 187, 57, 279, 56);
    BarLabel->SetAutoSize(false);
    BarLabel->SetAlignment(taCenter);
    BarLabel->SetTransparent(true);
    BarLabel->Font()->SetName("Arial Black");
    BarLabel->Font()->SetHeight(-37);
    BarLabel->Font()->SetColor(clWhite);
    BarLabel->SetCaption("");
    BarPositionBkg = Make<TPanel>(g, AnimationAreaPanel, "BarPositionBkg", 243, 118, 169, 10);
    NoBevel(BarPositionBkg);
    BarPosImg = Make<TImage>(g, BarPositionBkg, "BarPosImg", 0, 0, 169, 10);
    BarPosImg->SetAlign(alClient);
    VideoButton2 = Make<THVPanel>(g, AnimationAreaPanel, "VideoButton2", 23, 28, 76, 36);
    PlayRiffButton = Make<THVPanel>(g, AnimationAreaPanel, "PlayRiffButton", 23, 66, 76, 36);
    RiffListButton = Make<THVPanel>(g, AnimationAreaPanel, "RiffListButton", 103, 28, 76, 36);
    HalfSpeedButton = Make<THVPanel>(g, AnimationAreaPanel, "HalfSpeedButton", 103, 66, 76, 36);
    PrevRiffButton = Make<THVPanel>(g, AnimationAreaPanel, "PrevRiffButton", 24, 103, 36, 26);
    NextRiffButton = Make<THVPanel>(g, AnimationAreaPanel, "NextRiffButton", 62, 103, 36, 26);
    PlayClipButton = Make<THVPanel>(g, AnimationAreaPanel, "PlayClipButton", 103, 103, 76, 26);
    HistoryPrevRiffButton = Make<THVPanel>(g, AnimationAreaPanel, "HistoryPrevRiffButton", 24, 132, 36, 26);
    HistoryNextRiffButton = Make<THVPanel>(g, AnimationAreaPanel, "HistoryNextRiffButton", 62, 132, 36, 26);
    PrevClipButton = Make<THVPanel>(g, AnimationAreaPanel, "PrevClipButton", 104, 132, 36, 26);
    NextClipButton = Make<THVPanel>(g, AnimationAreaPanel, "NextClipButton", 142, 132, 36, 26);

    RiffPositionBkg = Make<TPanel>(g, g, "RiffPositionBkg", 8, 534, 1000, 16);
    NoBevel(RiffPositionBkg);
    RiffPositionBkg->SetColor(clBlack);
    RiffPositionBkg->Hide();
    RiffPosition = Make<TLabel>(g, RiffPositionBkg, "RiffPosition", 2, 2, 0, 12);
    RiffPosition->SetAutoSize(false);
    RiffPosition->SetCaption("");
    RiffPosition->SetColor(kRiffPositionColor);
    RiffPosition->SetEnabled(false);

    // The mode list lies over the areas below the control panel, so it comes last.
    ModeList = Make<THVList>(g, g, "ModeList", 339, 52, 249, 17);
    ModeList->SetAutoWidth(true);
    ModeList->SetMinAutoWidth(100);
    ModeList->Hide();

    // Buttons draw only their pictures; the mode button writes the mode's title.
    for (int i = 0; i < g->ComponentCount(); ++i)
        if (auto* button = dynamic_cast<THVPanel*>(g->Components(i))) {
            NoBevel(button);
            button->SetText("");
        }
    TFont modeFont;
    modeFont.SetName("Arial");
    modeFont.SetStyle(fsBold);
    modeFont.SetHeight(-16);
    modeFont.SetColor(clWhite);
    CurrentMode->SetFontOnIdle(&modeFont);
    CurrentMode->SetTextMarginOn(true);
    CurrentMode->SetTextMarginX(15);
    CurrentMode->SetTextMoveX(2);
    CurrentMode->SetTextMoveY(2);
    TFont listFont;
    listFont.SetName("Arial");
    listFont.SetStyle(fsBold);
    listFont.SetHeight(-12);
    listFont.SetColor(clWhite);
    ModeList->SetFontOnIdle(&listFont);
    ModeList->SetTextMarginOn(true);
    ModeList->SetTextMarginX(9);
    ModeList->SetTextMoveX(1);
    ModeList->SetTextMoveY(1);
    for (THVSlider* slider : {MelodyVolume, RiffVolume}) {
        slider->SetMinPosition(0);
        slider->SetMaxPosition(100);
        slider->SetPosition(50);
        slider->SetMarginX(5);
        slider->SetMarginY(3);
    }

    mainTimer_ = std::make_unique<TTimer>(g);
    MainTimer = mainTimer_.get();
    MainTimer->SetEnabled(false);
    MainTimer->SetInterval(10);
    eventsTimer_ = std::make_unique<TTimer>(g);
    EventsTimer = eventsTimer_.get();
    EventsTimer->SetEnabled(false);
    EventsTimer->SetInterval(50);
    msgTimer_ = std::make_unique<TTimer>(g);
    MsgTimer = msgTimer_.get();
    MsgTimer->SetEnabled(false);
    MsgTimer->SetInterval(2500);
}

void TKorvaneForm::PlaceControls()
{
    BarLabel->SetBounds(187, 57, 279, 56);
    BarPositionBkg->SetBounds(243, 118, 169, 10);
    RiffListButton->SetBounds(103, 28, 76, 36);
    HalfSpeedButton->SetBounds(103, 66, 76, 36);
    ControlPanel->SetBounds(0, 0, 1016, 112);
    FretboardAreaPanel->SetBounds(0, 112, 1016, 171);
    NotationAreaPanel->SetBounds(0, 283, 1016, 249);
    KeyboardAreaPanel->SetBounds(0, 532, 508, 178);
    AnimationAreaPanel->SetBounds(508, 532, 508, 178);

    // The previous-page button takes its place from the next-page button's size before that
    // button is resized, which puts it at 26, 224.
    RMP_PrevButton->SetHeight(24);
    RMP_PrevButton->SetWidth(34);
    RMP_PrevButton->SetLeft(RMP_NextButton->Width());
    RMP_PrevButton->SetTop(NotationAreaPanel->Height() - RMP_NextButton->Height());
    RMP_NextButton->SetHeight(24);
    RMP_NextButton->SetWidth(34);
    RMP_NextButton->SetLeft(NotationAreaPanel->Width() - 2 * RMP_PrevButton->Width());
    RMP_NextButton->SetTop(NotationAreaPanel->Height() - RMP_PrevButton->Height());

    KorvaneButton->SetBounds(9, 12, 194, 39);
    AboutButton2->SetBounds(888, 5, 122, 46);
    SettingsButton->SetBounds(11, 62, 76, 36);
    VolumeControl->SetBounds(94, 62, 52, 36);
    HelpButton->SetBounds(154, 62, 52, 36);
    TutorialVideoButton->SetBounds(214, 62, 76, 36);
    AboutButton->SetBounds(298, 62, 76, 36);
    PlayButton->SetBounds(382, 56, 57, 47);
    StopButton->SetBounds(446, 56, 57, 47);
    PauseButton->SetBounds(510, 56, 57, 47);
    WaveButton->SetBounds(574, 62, 76, 36);
    VideoButton->SetBounds(844, 62, 76, 36);
    PrintButton->SetBounds(928, 62, 76, 36);
    VideoButton2->SetBounds(23, 28, 76, 36);
    PlayRiffButton->SetBounds(23, 66, 76, 36);
    PrevRiffButton->SetBounds(24, 103, 36, 26);
    NextRiffButton->SetBounds(62, 103, 36, 26);
    PlayClipButton->SetBounds(103, 103, 76, 26);
    HistoryPrevRiffButton->SetBounds(24, 132, 36, 26);
    HistoryNextRiffButton->SetBounds(62, 132, 36, 26);
    PrevClipButton->SetBounds(104, 132, 36, 26);
    NextClipButton->SetBounds(142, 132, 36, 26);
    CurrentMode->SetBounds(339, 12, 265, 39);
    CurrentMode->SetText("");
    ModeList->SetBounds(339, 52, ModeList->Width(), ModeList->Height());

    NotationAreaImage->SetBounds(0, 0, NotationAreaPanel->Width(), NotationAreaPanel->Height());
    FretboardAreaImage->SetBounds(0, 0, FretboardAreaPanel->Width(), FretboardAreaPanel->Height());

    MelodyVolume->SetBounds(683, 22, 35, 90);
    RiffVolume->SetBounds(775, 22, 35, 90);

    RiffPositionBkg->SetBounds((NotationAreaPanel->Width() - 1000) / 2,
                               NotationAreaPanel->Top() + NotationAreaPanel->Height() + 2, 1000, 16);
    RiffPositionBkg->Hide();
    RiffPosition->SetBounds(2, 2, 0, 12);
}

void TKorvaneForm::SetButtonPictures(THVPanel* button, const std::string& stem, bool optional, bool checked,
                                     const std::string& mouseDownStem)
{
    if (optional && !FileExists(ImageFile(stem + "Initial.png"))) {
        button->Hide();
        return;
    }
    // A missing state picture only leaves that state without a picture.
    auto set = [this, button](void (THVPanel::*setter)(const std::string&), const std::string& file) {
        if (FileExists(ImageFile(file)))
            (button->*setter)(ImageFile(file));
    };
    set(&THVPanel::SetPicOnMouseMove, stem + "Mouse.png");
    set(&THVPanel::SetPicOnMouseDown, (mouseDownStem.empty() ? stem + "Pressed" : mouseDownStem) + ".png");
    set(&THVPanel::SetPicOnIdle, stem + "Initial.png");
    if (checked)
        set(&THVPanel::SetPicOnChecked, stem + "Pressed.png");
    button->Loaded();
}

void TKorvaneForm::InitLayout()
{
    try {
        BarLabel->Font()->SetQuality(ANTIALIASED_QUALITY);

        keySkinNames_.Clear();
        keySkins_.clear();
        if (root_ != nullptr && root_->Exists("keyboard.key_skins")) {
            TStringList names;
            const int count = root_->GetCount("keyboard.key_skins");
            for (int i = 1; i <= count; ++i)
                names.Add(root_->GetValueTextAt("keyboard.key_skins[#]", i));
            keySkinNames_ = names;
        }
        keySkins_.resize(std::size_t(keySkinNames_.Count()));
        for (int i = 0; i < keySkinNames_.Count(); ++i) {
            auto bitmap = std::make_unique<TBitmap>();
            bitmap->SetHandleType(bmDDB);
            keySkins_[std::size_t(i)] = std::move(bitmap);
            LoadImageToBitmap(keySkins_[std::size_t(i)].get(), ImageFile(keySkinNames_[i] + ".png"));
        }
        keyboard_.LoadLayout(root_);
        keyboard_.LoadColorSchemes(root_);

        auto loadInto = [this](TPicture* picture, const std::string& name) {
            picture->Bitmap()->SetHandleType(bmDDB);
            LoadImageToPicture(picture, ImageFile(name));
        };
        loadInto(NotationAreaImage->Picture(), "NoteArea.png");
        background_ = std::make_unique<TPicture>();
        loadInto(background_.get(), "BGN01.png");
        keyboardBackground_ = std::make_unique<TPicture>();
        loadInto(keyboardBackground_.get(), "KeyboardArea.png");
        KeyboardAreaImage->SetPicture(keyboardBackground_.get());
        loadInto(AnimationAreaImage->Picture(), "AnimationArea.png");
        loadInto(NotationAreaImage->Picture(), "NoteArea.png");
        loadInto(ControlImage->Picture(), "ControlsArea.png");

        SetButtonPictures(RMP_NextButton, "Next", true, false);
        SetButtonPictures(RMP_PrevButton, "Previous", true, false);
        SetButtonPictures(RiffListButton, "RiffList", true, false);
        SetButtonPictures(HalfSpeedButton, "05AA", true, true);
        SetButtonPictures(NextRiffButton, "NextRiff", false, false);
        SetButtonPictures(PrevRiffButton, "PreviousRiff", false, false);
        SetButtonPictures(HistoryNextRiffButton, "HistoryNextRiff", true, false);
        SetButtonPictures(HistoryPrevRiffButton, "HistoryPreviousRiff", true, false);
        SetButtonPictures(PlayButton, "Play", false, true);
        SetButtonPictures(PlayRiffButton, "PlayRiff", false, false);
        SetButtonPictures(StopButton, "Stop", false, true);
        SetButtonPictures(PauseButton, "Pause", false, true);
        SetButtonPictures(VolumeControl, "Speaker", false, false);
        SetButtonPictures(VideoButton, "Video", false, false);
        SetButtonPictures(VideoButton2, "Video2", false, false);
        SetButtonPictures(WaveButton, "Save", false, false);
        SetButtonPictures(PrintButton, "Print", false, false);
        SetButtonPictures(TutorialVideoButton, "TutorialVideo", false, false);
        SetButtonPictures(SettingsButton, "Settings", false, false);
        SetButtonPictures(HelpButton, "Help", false, false);
        SetButtonPictures(AboutButton, "About", false, false);
        SetButtonPictures(AboutButton2, "HVLogo", false, false, "HVLogoMouse");
        SetButtonPictures(KorvaneButton, "Korvane", false, false, "KorvaneMouse");
        SetButtonPictures(CurrentMode, "GameMode", false, false);

        if (FileExists(ImageFile("GameModeListInitial.png")))
            ModeList->SetPicOnIdle(ImageFile("GameModeListInitial.png"));
        if (FileExists(ImageFile("GameModeListPressed.png")))
            ModeList->SetPicOnSelected(ImageFile("GameModeListPressed.png"));
        if (FileExists(ImageFile("GameModeListMouse.png")))
            ModeList->SetPicOnMouseMove(ImageFile("GameModeListMouse.png"));
        if (FileExists(ImageFile("GameModeListPressed.png")))
            ModeList->SetPicOnMouseDown(ImageFile("GameModeListPressed.png"));
        ModeList->Loaded();

        for (THVSlider* slider : {RiffVolume, MelodyVolume}) {
            if (FileExists(ImageFile("RhythmVolume.png"))) {
                slider->SetPicBackgroundMouseMove(ImageFile("RhythmVolume.png"));
                slider->SetPicBackgroundIdle(ImageFile("RhythmVolume.png"));
            }
            if (FileExists(ImageFile("VolumeInitial.png")))
                slider->SetPicSliderIdle(ImageFile("VolumeInitial.png"));
            if (FileExists(ImageFile("VolumeMouse.png")))
                slider->SetPicSliderMouseDown(ImageFile("VolumeMouse.png"));
            slider->Loaded();
            slider->SetSlideSize(slider->SlideSpaceSize() - 13);
        }

        SetButtonPictures(PlayClipButton, "PlayClip", true, false);
        SetButtonPictures(NextClipButton, "PlayClipNext", true, false);
        SetButtonPictures(PrevClipButton, "PlayClipPrev", true, false);
    } catch (const std::bad_alloc&) {
        ShowMessage("Out of memory!");
        Halt(0);
    } catch (const std::exception& error) {
        ShowMessage(std::string(error.what()) + ".\nLayout init failed. Cant run anyway, aborting..");
        Halt(0);
    }
}

void TKorvaneForm::FormPaint()
{
    // The window's own area is painted by Qt from a copy of the background picture, so the
    // tiles cost nothing between repaints of the window.
    if (background_ && background_->Width() > 0 && background_->Height() > 0 && backgroundTile_.isNull()) {
        QImage tile(background_->Width(), background_->Height(), QImage::Format_RGB32);
        TCanvas* canvas = background_->Bitmap()->Canvas();
        for (int y = 0; y < tile.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(tile.scanLine(y));
            for (int x = 0; x < tile.width(); ++x) {
                const TColor c = canvas->Pixels(x, y);
                row[x] = qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
            }
        }
        backgroundTile_ = QPixmap::fromImage(tile);
    }
    update();
}
