// The main window's board: fixed geometry, the skin pictures and how a skin may leave parts out.
#include "app/KorvaneFormTestContent.h"

#include "controls/THVList.h"
#include "controls/THVPanel.h"
#include "controls/THVSlider.h"
#include "platform/drawing/TCanvas.h"
#include "platform/ui/TImage.h"
#include "platform/ui/TLabel.h"
#include "platform/ui/TPanel.h"

namespace {

using korvane_test::FormTest;
using korvane_test::SkinColor;

TColor ColorRef(QRgb rgb)
{
    return TColor(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

class KorvaneFormSkin : public FormTest {};

TEST_F(KorvaneFormSkin, PlaceControlsSetsTheBoardGeometry)
{
    TKorvaneForm& f = Start();
    struct Expected {
        TControl* control;
        int left, top, width, height;
    };
    const Expected table[] = {
        {f.GlobalPanel, f.GlobalPanel->Left(), f.GlobalPanel->Top(), 1016, 710},
        {f.ControlPanel, 0, 0, 1016, 112},
        {f.FretboardAreaPanel, 0, 112, 1016, 171},
        {f.NotationAreaPanel, 0, 283, 1016, 249},
        {f.KeyboardAreaPanel, 0, 532, 508, 178},
        {f.AnimationAreaPanel, 508, 532, 508, 178},
        {f.CurrentMode, 339, 12, 265, 39},
        {f.PlayButton, 382, 56, 57, 47},
        {f.PrintButton, 928, 62, 76, 36},
        {f.MelodyVolume, 683, 22, 35, 90},
        {f.RiffVolume, 775, 22, 35, 90},
        {f.BarLabel, 187, 57, 279, 56},
        {f.BarPositionBkg, 243, 118, 169, 10},
        {f.NextClipButton, 142, 132, 36, 26},
        // The page buttons take their places from each other's sizes.
        {f.RMP_PrevButton, 26, 224, 34, 24},
        {f.RMP_NextButton, 948, 225, 34, 24},
        {f.RiffPositionBkg, 8, 534, 1000, 16},
        {f.FretboardAreaImage, 0, 0, 1016, 171},
        {f.NotationAreaImage, 0, 0, 1016, 249},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.control->Name());
        EXPECT_EQ(e.control->Left(), e.left);
        EXPECT_EQ(e.control->Top(), e.top);
        EXPECT_EQ(e.control->Width(), e.width);
        EXPECT_EQ(e.control->Height(), e.height);
    }
    EXPECT_EQ(f.ModeList->Left(), 339);
    EXPECT_EQ(f.ModeList->Top(), 52);
    EXPECT_FALSE(f.ModeList->Visible());
}

TEST_F(KorvaneFormSkin, AreasShowTheirSkinPictures)
{
    TKorvaneForm& f = Start();
    EXPECT_EQ(f.ControlImage->Picture()->Width(), 1016);
    EXPECT_EQ(f.ControlImage->Canvas()->Pixels(500, 5), ColorRef(SkinColor("ControlsArea.png")));
    EXPECT_EQ(f.AnimationAreaImage->Canvas()->Pixels(5, 5), ColorRef(SkinColor("AnimationArea.png")));
    EXPECT_EQ(f.KeyboardAreaImage->Canvas()->Pixels(5, 5), ColorRef(SkinColor("KeyboardArea.png")));
    EXPECT_EQ(f.NotationAreaImage->Canvas()->Pixels(5, 5), ColorRef(SkinColor("NoteArea.png")));
    EXPECT_EQ(f.FretboardAreaImage->Canvas()->Pixels(5, 5), ColorRef(SkinColor("FretboardArea.png")));
    ASSERT_NE(f.BackgroundPicture(), nullptr);
    EXPECT_EQ(f.BackgroundPicture()->Width(), 64);
    EXPECT_NE(f.PlayButton->PicOnIdle().find("PlayInitial.png"), std::string::npos);
    EXPECT_NE(f.PlayButton->PicOnChecked().find("PlayPressed.png"), std::string::npos);
    EXPECT_NE(f.KorvaneButton->PicOnMouseDown().find("KorvaneMouse.png"), std::string::npos);
    EXPECT_NE(f.ModeList->PicOnSelected().find("GameModeListPressed.png"), std::string::npos);
    EXPECT_NE(f.RiffVolume->PicSliderIdle().find("VolumeInitial.png"), std::string::npos);
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(KorvaneFormSkin, MissingControlsAreaEndsWithTheLayoutMessage)
{
    RemovePicture("ControlsArea.png");
    TKorvaneForm& f = Start();
    ASSERT_EQ(ui->boxes.size(), 1u);
    const std::string& text = ui->boxes[0].text;
    EXPECT_NE(text.find("ControlsArea.png"), std::string::npos) << text;
    const std::string tail = ".\nLayout init failed. Cant run anyway, aborting..";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(ui->exitCodes, std::vector<int>{0});
    EXPECT_TRUE(f.EndRequested());
    EXPECT_EQ(f.Env(), nullptr);
}

TEST_F(KorvaneFormSkin, MissingStatePictureLeavesOnlyThatStateOut)
{
    RemovePicture("PlayMouse.png");
    TKorvaneForm& f = Start();
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_TRUE(ui->exitCodes.empty());
    EXPECT_TRUE(f.PlayButton->Visible());
    EXPECT_EQ(f.PlayButton->PicOnMouseMove(), "");
    EXPECT_NE(f.PlayButton->PicOnIdle().find("PlayInitial.png"), std::string::npos);
    EXPECT_NE(f.PlayButton->PicOnMouseDown().find("PlayPressed.png"), std::string::npos);
}

TEST_F(KorvaneFormSkin, OptionalButtonWithoutInitialPictureIsHidden)
{
    for (const char* name : {"RiffListInitial.png", "PlayClipNextInitial.png", "PreviousInitial.png"})
        RemovePicture(name);
    TKorvaneForm& f = Start();
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_FALSE(f.RiffListButton->Visible());
    EXPECT_EQ(f.RiffListButton->PicOnMouseMove(), "");
    EXPECT_FALSE(f.NextClipButton->Visible());
    EXPECT_FALSE(f.RMP_PrevButton->Visible());
    EXPECT_TRUE(f.PrevClipButton->Visible());
    EXPECT_TRUE(f.HalfSpeedButton->Visible());
}

TEST_F(KorvaneFormSkin, SlidersLoseThirteenPixelsOfTravel)
{
    // A slider built on its own from the same pictures has the full travel.
    THVSlider plain(nullptr);
    plain.SetBounds(0, 0, 35, 90);
    plain.SetPicBackgroundIdle(Picture("RhythmVolume.png"));
    plain.SetPicSliderIdle(Picture("VolumeInitial.png"));
    plain.Loaded();
    TKorvaneForm& f = Start();
    EXPECT_EQ(f.RiffVolume->SlideSpaceSize(), plain.SlideSpaceSize() - 13);
    EXPECT_EQ(f.MelodyVolume->SlideSpaceSize(), plain.SlideSpaceSize() - 13);
}

TEST_F(KorvaneFormSkin, KeySkinsLoadInListOrderAndAMissingOneEndsWithTheLayoutMessage)
{
    std::string defaults = korvane_test::DefaultsText("keyboard.key_skins[1]=\"KeyPick\"\nkeyboard.key_skins[2]=\"KeyDim\"\n");
    content.Write("Korvane.DEF", defaults);
    korvane_test::WriteContent(content.Dir(), defaults);
    QImage key(30, 30, QImage::Format_RGB32);
    key.fill(Qt::red);
    key.save(QString::fromStdString(Picture("KeyPick.png")), "PNG");
    key.save(QString::fromStdString(Picture("KeyDim.png")), "PNG");
    {
        TKorvaneForm& f = Start();
        EXPECT_TRUE(ui->boxes.empty());
        EXPECT_EQ(f.KeySkinNames().Lines(), (std::vector<std::string>{"KeyPick", "KeyDim"}));
    }
    RemovePicture("KeyDim.png");
    TKorvaneForm& f = Start();
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_NE(ui->boxes[0].text.find("KeyDim.png"), std::string::npos) << ui->boxes[0].text;
    EXPECT_NE(ui->boxes[0].text.find("Layout init failed"), std::string::npos);
    EXPECT_EQ(ui->exitCodes, std::vector<int>{0});
    EXPECT_TRUE(f.EndRequested());
}

}  // namespace
