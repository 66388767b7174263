// The fretboard display: spots at the configured string and fret positions for the tuning, the
// one-shot spot picture and finger label of the controllers, bent notes in grey, shapes, upcoming
// notes with their own steps, and what clears the board. Checked on the pixels of the image.
#include "app/AppTestSupport.h"
#include "app/mainform/KorvaneShared.h"
#include "app/game/TFretboardObj.h"
#include "app/game/TKorvaneEnv.h"
#include "config/TDVContext.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/system/Exception.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"
#include "platform/ui/TImage.h"
#include "platform/drawing/TPicture.h"
#include "sprite/TASprite.h"
#include "sprite/TASpriteInstance.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr TColor kBoard = 0x000000;
constexpr TColor kRed = 0x0000FF;    // Spot01: open string
constexpr TColor kGreen = 0x00FF00;  // Spot02
constexpr TColor kBlue = 0xFF0000;   // Spot03, which has no bent variant
constexpr TColor kGrey = 0x808080;   // Spot01C and Spot02C
constexpr TColor kYellow = 0x00FFFF; // UpcSpot0
constexpr TColor kCyan = 0xFFFF00;   // UpcSpot1
constexpr int kSpotSize = 10;

int FretX(int fret) { return 12 + fret * 11; }
int StringY(int string) { return 15 + string * 30; }

std::string FretboardConfig(bool labelFillColours)
{
    std::string xs;
    for (int f = 0; f < 25; ++f)
        xs += (f ? "," : "") + std::to_string(FretX(f));
    std::string text = "context general\n"
                       "\tcontext Fretboard\n"
                       "\t\tinteger X[25]=" + xs + "\n"
                       "\t\tcontext chord[6]\n"
                       "\t\t\tinteger Y[25]\n"
                       "\t\tendcontext\n"
                       "\t\tcontext BLabel[4]\n"
                       "\t\t\tstring Caption=\"\"\n"
                       "\t\t\tinteger FontSize=8\n"
                       "\t\t\tinteger X=-1\n"
                       "\t\t\tinteger Y=-1\n"
                       "\t\t\tinteger Color[3]=255,255,255\n";
    if (labelFillColours)
        text += "\t\t\tinteger FColor[3]=255,0,255\n";
    text += "\t\tendcontext\n"
            "\tendcontext\n"
            "endcontext\n"
            "context settings\n"
            "\tstring current_mode=\"\"\n"
            "endcontext\n"
            "context mode[]\n"
            "\tstring title_in_drop=\"\"\n"
            "endcontext\n";
    for (int s = 0; s < 6; ++s)
        text += "general.Fretboard.chord[" + std::to_string(s + 1) + "].Y[*]=" + std::to_string(StringY(s)) + "\n";
    for (int l = 1; l <= 4; ++l)
        text += "general.Fretboard.BLabel[" + std::to_string(l) + "].Caption=\"" + std::to_string(l) + "\"\n";
    return text;
}

void WritePicture(const TempFolder& folder, const std::string& name, int w, int h, TColor color)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
    ASSERT_TRUE(image.save(QString::fromStdString((folder.path / name).string()), "PNG"));
}

void WriteSpotPictures(const TempFolder& folder)
{
    WritePicture(folder, "Spot01.png", kSpotSize, kSpotSize, kRed);
    WritePicture(folder, "Spot01C.png", kSpotSize, kSpotSize, kGrey);
    WritePicture(folder, "Spot02.png", kSpotSize, kSpotSize, kGreen);
    WritePicture(folder, "Spot02C.png", kSpotSize, kSpotSize, kGrey);
    WritePicture(folder, "Spot03.png", kSpotSize, kSpotSize, kBlue);
    WritePicture(folder, "UpcSpot0.png", kSpotSize, kSpotSize, kYellow);
    WritePicture(folder, "UpcSpot1.png", kSpotSize, kSpotSize, kCyan);
    WritePicture(folder, "FretboardArea.png", 300, 200, kBoard);
}

std::int32_t Note(int channel, int note) { return channel * 256 + note; }

class Fretboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        tuning = _StringTuning;
        WriteSpotPictures(folder);
        Make(true);
    }
    void TearDown() override
    {
        env.reset();
        _StringTuning = tuning;
    }

    void Make(bool labelFillColours)
    {
        env.reset();
        image.reset();
        root = std::make_unique<TDVContext>();
        LoadText(*root, FretboardConfig(labelFillColours));
        image = std::make_unique<TImage>(nullptr);
        image->SetBounds(0, 0, 300, 200);
        env = std::make_unique<TKorvaneEnv>(root.get(), image.get(), nullptr, nullptr, nullptr,
                                            TKorvaneEnv::TObjectMakers{TFretboardObj::Maker(folder.Dir()), {}});
        board = dynamic_cast<TFretboardObj*>(env->Fretboard());
        ASSERT_NE(board, nullptr);
        board->LoadBackground("FretboardArea.png");
        Frame();
    }

    // Dispatched at once, as the main window does for notes.
    void Post(const std::string& name, std::int32_t param)
    {
        env->PostEvent(name, param);
        env->ProcessEvents();
    }
    // One tick of the events timer.
    void Frame()
    {
        env->UpdateObjects();
        env->DrawObjects();
    }
    TColor Pixel(int x, int y) { return image->Picture()->Bitmap()->Canvas()->Pixels(x, y) & 0xFFFFFF; }
    TColor SpotPixel(int string, int fret) { return Pixel(FretX(fret), StringY(string)); }
    // Pixels of that colour within the spot's shape (10 x 10 here).
    int CountInShape(int spot, TColor color)
    {
        const TRect r = board->Shapes().at(spot);
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += Pixel(x, y) == color;
        return n;
    }
    std::string AnimationOf(int spot)
    {
        TASpriteInstance* s = board->Spot(spot);
        return s->GetOwner()->GetAnimationName(s->GetFrameAnimation());
    }

    TempFolder folder;
    std::unique_ptr<TDVContext> root;
    std::unique_ptr<TImage> image;
    std::unique_ptr<TKorvaneEnv> env;
    TFretboardObj* board = nullptr;
    std::array<int, 6> tuning{};
};

TEST_F(Fretboard, SpotNumberFollowsChannelAndDistanceFromTheOpenString)
{
    struct Case {
        int channel, note, spot;
    };
    const Case cases[] = {
        {10, 64, 0},        // string 0 open
        {15, 40, 125},      // string 5 open
        {10, 62, 2},        // below the open note: the distance counts
        {15, 90, 125},      // fret 50 wraps to 0
        {12, 57, 2 * 25 + 2},
        {4, 64, 0},         // channel 4 is |4 - 10| = 6 -> string 0
    };
    for (const Case& c : cases)
        EXPECT_EQ(TFretboardObj::SpotOf(Note(c.channel, c.note)), c.spot) << c.channel << "/" << c.note;
}

TEST_F(Fretboard, NoteOnLightsTheSpotAtItsConfiguredPosition)
{
    ASSERT_EQ(SpotPixel(0, 0), kBoard);
    Post("NOTEON", Note(10, 64));
    Post("NOTEON", Note(13, 50 + 7));
    Frame();
    EXPECT_EQ(board->Spot(0)->GetX(), float(FretX(0)));
    EXPECT_EQ(board->Spot(0)->GetY(), float(StringY(0)));
    EXPECT_EQ(SpotPixel(0, 0), kRed);
    EXPECT_EQ(SpotPixel(3, 7), kRed);
    EXPECT_EQ(SpotPixel(3, 8), kBoard);
    EXPECT_EQ(Pixel(FretX(0) + kSpotSize, StringY(0)), kBoard);
}

TEST_F(Fretboard, NoteOffTakesTheSpotOffTheImage)
{
    Post("NOTEON", Note(11, 59 + 5));
    Frame();
    ASSERT_EQ(SpotPixel(1, 5), kRed);
    Post("NOTEOFF", Note(11, 59 + 5));
    Frame();
    EXPECT_FALSE(board->Spot(30)->IsVisible());
    EXPECT_EQ(SpotPixel(1, 5), kBoard);
}

TEST_F(Fretboard, TuningOfTheModeShiftsTheFret)
{
    _StringTuning = {64, 59, 55, 50, 45, 38};  // lowest string down a tone
    Post("NOTEON", Note(15, 40));
    Frame();
    EXPECT_TRUE(board->Spot(5 * 25 + 2)->IsVisible());
    EXPECT_FALSE(board->Spot(5 * 25)->IsVisible());
    EXPECT_EQ(SpotPixel(5, 2), kRed);
}

TEST_F(Fretboard, ControllerChoosesThePictureOfTheNextNoteOnly)
{
    Post("MIDICTRL", 35);
    Post("NOTEON", Note(10, 64 + 1));
    Post("NOTEON", Note(10, 64 + 2));
    Frame();
    EXPECT_EQ(AnimationOf(1), "1");
    EXPECT_EQ(AnimationOf(2), "0");
    EXPECT_EQ(SpotPixel(0, 1), kGreen);
    EXPECT_EQ(SpotPixel(0, 2), kRed);
}

TEST_F(Fretboard, BentNotesShowTheGreyVariantAndFallBackToThePlainPicture)
{
    board->ShowColorSpots = true;
    Post("MIDICTRL", 35);
    Post("NOTEON", Note(10, 64 + 1));
    Post("MIDICTRL", 36);  // Spot03 has no "C" picture
    Post("NOTEON", Note(10, 64 + 3));
    Frame();
    EXPECT_EQ(AnimationOf(1), "1C");
    EXPECT_EQ(SpotPixel(0, 1), kGrey);
    EXPECT_EQ(AnimationOf(3), "2C");
    EXPECT_EQ(SpotPixel(0, 3), kBlue);
}

TEST_F(Fretboard, FingerLabelIsIgnoredWithoutFingeringAndCaptionsTheNextNoteWithIt)
{
    board->ShowFingering = false;
    Post("MIDICTRL", 2);
    Post("NOTEON", Note(10, 64));
    EXPECT_TRUE(board->Captions().empty());

    board->ShowFingering = true;
    Post("MIDICTRL", 2);
    Post("NOTEON", Note(10, 64 + 4));
    Post("NOTEON", Note(10, 64 + 6));
    ASSERT_EQ(board->Captions().size(), 1u);
    const TFretboardObj::TextCaption& caption = board->Captions().at(4);
    EXPECT_EQ(caption.text, "2");
    EXPECT_EQ(caption.color, 0xFFFFFF);
    EXPECT_EQ(caption.fontSize, 8);
    // Centred on the spot: X and Y of -1 centre the text's extent.
    EXPECT_LT(caption.X, FretX(4));
    EXPECT_LT(caption.Y, StringY(0));
    EXPECT_GT(caption.X, FretX(4) - kSpotSize);

    Frame();
    bool white = false;
    for (int y = caption.Y; y < caption.Y + 14; ++y)
        for (int x = caption.X; x < caption.X + 10; ++x)
            white = white || Pixel(x, y) == 0xFFFFFF;
    EXPECT_TRUE(white) << "the caption is drawn over the spot";
}

TEST_F(Fretboard, FilledShapesTakeTheLabelsFillColour)
{
    board->ShowFilledShapes = true;
    Post("MIDICTRL", 2);
    Post("NOTEON", Note(10, 64));
    Frame();
    EXPECT_EQ(board->ShapeColors().at(0), 0xFF00FF);
    EXPECT_GT(CountInShape(0, 0xFF00FF), 40) << "filled under its caption";
    const TRect shape = board->Shapes().at(0);
    EXPECT_EQ(shape, TRect(FretX(0) - 5, StringY(0) - 5, FretX(0) + 5, StringY(0) + 5));
}

TEST_F(Fretboard, FilledShapesWithoutALabelColourTakeTheFingerColour)
{
    Make(false);
    board->ShowFilledShapes = true;
    Post("MIDICTRL", 2);  // finger 2: red
    Post("NOTEON", Note(10, 64));
    Post("MIDICTRL", 1);  // finger 1: blue
    Post("NOTEON", Note(11, 59));
    Post("NOTEON", Note(12, 55));  // no label: white
    Frame();
    EXPECT_EQ(board->ShapeColors().at(0), 0x0000FF);
    EXPECT_EQ(board->ShapeColors().at(25), 0xFF0000);
    EXPECT_EQ(board->ShapeColors().at(50), 0xFFFFFF);
    EXPECT_GT(CountInShape(0, 0x0000FF), 40);
    EXPECT_GT(CountInShape(25, 0xFF0000), 40);
}

TEST_F(Fretboard, ShapesAreWhiteOutlinesOverTheSpot)
{
    board->ShowShapes = true;
    Post("NOTEON", Note(10, 64 + 10));
    Frame();
    EXPECT_EQ(board->ShapeColors().at(10), 0xFFFFFF);
    EXPECT_EQ(SpotPixel(0, 10), kRed) << "the outline leaves the inside";
    EXPECT_EQ(Pixel(FretX(10) - 5, StringY(0)), 0xFFFFFF);
}

TEST_F(Fretboard, UpcomingNoteAppearsWithItsStepAndIsReplacedByTheRealNote)
{
    Post("UPC_NOTEON", TFretboardObj::UpcomingEventParam(1, 10, 64 + 3));
    Frame();
    EXPECT_EQ(AnimationOf(3), "UPN1");
    EXPECT_EQ(SpotPixel(0, 3), kCyan);
    Post("NOTEON", Note(10, 64 + 3));
    Frame();
    EXPECT_EQ(AnimationOf(3), "0");
    EXPECT_EQ(SpotPixel(0, 3), kRed);
}

TEST_F(Fretboard, UpcomingNoteLeavesASoundingNoteAndReplacesAnUpcomingOne)
{
    Post("NOTEON", Note(10, 64));
    Post("UPC_NOTEON", TFretboardObj::UpcomingEventParam(0, 10, 64));
    Post("UPC_NOTEON", TFretboardObj::UpcomingEventParam(0, 10, 64 + 1));
    Post("UPC_NOTEON", TFretboardObj::UpcomingEventParam(1, 10, 64 + 1));
    Frame();
    EXPECT_EQ(AnimationOf(0), "0");
    EXPECT_EQ(SpotPixel(0, 0), kRed);
    EXPECT_EQ(AnimationOf(1), "UPN1");
    EXPECT_EQ(SpotPixel(0, 1), kCyan);
}

TEST_F(Fretboard, AnnouncementsQueuedInOneTickEachShowTheirOwnStep)
{
    board->SetUpcomingStep(1);
    env->PostEvent("UPC_NOTEON", TFretboardObj::UpcomingEventParam(0, 10, 64 + 5));
    env->PostEvent("UPC_NOTEON", TFretboardObj::UpcomingEventParam(1, 11, 59 + 5));
    env->PostEvent("UPC_NOTEON", Note(12, 55 + 5));  // no step of its own: the object's
    env->ProcessEvents();
    Frame();
    EXPECT_EQ(AnimationOf(5), "UPN0");
    EXPECT_EQ(AnimationOf(30), "UPN1");
    EXPECT_EQ(AnimationOf(55), "UPN1");
    EXPECT_EQ(SpotPixel(0, 5), kYellow);
    EXPECT_EQ(SpotPixel(1, 5), kCyan);
}

TEST_F(Fretboard, StepsCountTheUpcomingPictures)
{
    EXPECT_EQ(_UpcomingSteps, 2);
}

TEST_F(Fretboard, MidiOffClearsSpotsAndCaptionsButKeepsShapesForTheNextNote)
{
    board->ShowShapes = true;
    Post("MIDICTRL", 1);
    Post("NOTEON", Note(10, 64 + 8));
    Frame();
    Post("MIDIOFF", 0);
    Frame();
    EXPECT_TRUE(board->Captions().empty());
    EXPECT_EQ(board->Shapes().size(), 1u);
    EXPECT_EQ(SpotPixel(0, 8), kBoard);
    EXPECT_EQ(Pixel(FretX(8) - 5, StringY(0)), kBoard) << "the outline of a hidden spot is wiped";

    Post("NOTEON", Note(10, 64 + 8));
    Frame();
    EXPECT_EQ(Pixel(FretX(8) - 5, StringY(0)), 0xFFFFFF);
}

TEST_F(Fretboard, NewGameAndEndGameClearTheBoard)
{
    board->ShowShapes = true;
    Post("MIDICTRL", 35);  // one-shot picture left pending
    Post("MIDICTRL", 3);
    Post("NOTEON", Note(10, 64));
    Post("MIDICTRL", 36);
    Post("NOTEON", Note(11, 59));
    Frame();
    env->EndGame(0);
    EXPECT_EQ(SpotPixel(0, 0), kBoard);
    EXPECT_EQ(SpotPixel(1, 0), kBoard);
    EXPECT_TRUE(board->Shapes().empty());

    Post("MIDICTRL", 36);
    Post("MIDICTRL", 2);
    env->NewGame(0);
    Post("NOTEON", Note(10, 64));
    Frame();
    EXPECT_EQ(AnimationOf(0), "0") << "a new game forgets the pending picture";
    EXPECT_TRUE(board->Captions().empty()) << "and the pending label";
    EXPECT_EQ(SpotPixel(0, 0), kRed);
}

TEST_F(Fretboard, MissingFirstSpotPictureFailsTheConstructionWithoutASubscription)
{
    std::filesystem::remove(folder.path / "Spot01.png");
    TImage other(nullptr);
    other.SetBounds(0, 0, 50, 50);
    try {
        TFretboardObj failed(env.get(), &other, folder.Dir());
        FAIL() << "constructed without Spot01.png";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Animation:0", 0), 0u) << e.what();
    }
    Post("NOTEON", Note(10, 64));  // reaches no trace of the failed object
    Frame();
    EXPECT_EQ(SpotPixel(0, 0), kRed);
}

TEST_F(Fretboard, PictureTheSpriteLacksFailsThatNoteOnly)
{
    Post("MIDICTRL", 34 + 9);
    Post("MIDICTRL", 2);
    EXPECT_THROW(Post("NOTEON", Note(10, 64)), Exception);
    Post("NOTEON", Note(10, 64 + 1));
    Frame();
    EXPECT_EQ(SpotPixel(0, 1), kRed);
    EXPECT_TRUE(board->Captions().empty()) << "the failed note's label does not pass on";
}

TEST_F(Fretboard, MissingBackgroundFileIsReported)
{
    try {
        board->LoadBackground("NoSuchBoard.png");
        FAIL() << "loaded a missing background";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("File not found:", 0), 0u) << e.what();
    }
}

// How long the road from a reported note to its spot on the image takes inside the program: the
// posting with its immediate dispatch and one tick of the events timer (update, draw, repaint).
// The timer's own wait (up to 50 ms) comes on top.
TEST_F(Fretboard, NoteOnReachesTheImageWithinOneTimerTick)
{
    std::vector<double> ms;
    for (int i = 0; i < 60; ++i) {
        const int fret = i % 24 + 1;
        const auto start = std::chrono::steady_clock::now();
        Post("NOTEON", Note(10 + i % 6, _StringTuning[std::size_t(i % 6)] + fret));
        Frame();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        ASSERT_EQ(SpotPixel(i % 6, fret), kRed);
        Post("NOTEOFF", Note(10 + i % 6, _StringTuning[std::size_t(i % 6)] + fret));
        Frame();
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const double worst = ms.back();
    std::printf("NOTEON to spot on the image: median %.3f ms, worst %.3f ms\n", median, worst);
    RecordProperty("median_ms", std::to_string(median));
    RecordProperty("worst_ms", std::to_string(worst));
    EXPECT_LT(median, 50.0);
}

}  // namespace
