// The picture button and label: pictures by state, text layout, picture files and events.
#include <QDialog>

#include <memory>

#include "ControlFixtures.h"
#include "controls/THVPanel.h"
#include "platform/system/Exception.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TFont.h"
#include "platform/ui/TImage.h"
#include "platform/drawing/TPicture.h"

using namespace fixtures;

namespace {

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kYellow = 0xFFFFFF00,
                        kGray = 0xFF808080;

class PanelTest : public ControlTest {
protected:
    // A 40 x 20 panel, loaded, then given the five pictures in five colours (as the program's
    // skin does it).
    std::unique_ptr<THVPanel> MakePanel(bool withChecked = true)
    {
        auto panel = std::make_unique<THVPanel>(nullptr);
        panel->SetBounds(0, 0, 40, 20);
        panel->Loaded();
        panel->SetPicOnIdle(Solid("idle.png", 40, 20, kRed));
        panel->SetPicOnMouseMove(Solid("move.png", 40, 20, kGreen));
        panel->SetPicOnMouseDown(Solid("down.png", 40, 20, kBlue));
        if (withChecked)
            panel->SetPicOnChecked(Solid("checked.png", 40, 20, kYellow));
        panel->SetPicOnDisabled(Solid("disabled.png", 40, 20, kGray));
        return panel;
    }
};

struct StateCase {
    const char* name;
    bool withChecked;
    std::function<void(THVPanel&)> act;
    int state;
    std::uint32_t shown;
};

TEST_F(PanelTest, PictureFollowsStateTable)
{
    const StateCase cases[] = {
        {"idle after Loaded", true, [](THVPanel&) {}, 0, kRed},
        {"pointer moves over", true, [](THVPanel& p) { Move(p, 5, 5); }, 1, kGreen},
        {"move with left button held keeps idle", true, [](THVPanel& p) { Move(p, 5, 5, Qt::LeftButton); }, 0, kRed},
        {"pressed", true, [](THVPanel& p) { Press(p, 5, 5); }, 2, kBlue},
        {"right button presses too", true, [](THVPanel& p) { Press(p, 5, 5, Qt::RightButton); }, 2, kBlue},
        {"release keeps pressed picture", true, [](THVPanel& p) { Press(p, 5, 5); Release(p, 5, 5); }, 2, kBlue},
        {"checked", true, [](THVPanel& p) { p.SetChecked(true); }, 3, kYellow},
        {"checked and hovered keeps checked picture", true,
         [](THVPanel& p) { p.SetChecked(true); Move(p, 5, 5); }, 1, kYellow},
        {"checked without its picture shows disabled", false, [](THVPanel& p) { p.SetChecked(true); }, 3, kGray},
        {"disabled", true, [](THVPanel& p) { p.SetEnabled(false); }, 0, kGray},
        {"disabled while checked", true, [](THVPanel& p) { p.SetChecked(true); p.SetEnabled(false); }, 3, kGray},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto panel = MakePanel(c.withChecked);
        panel->Loaded();
        c.act(*panel);
        panel->Repaint();
        EXPECT_EQ(panel->State(), c.state);
        EXPECT_EQ(PixelAt(*panel, 20, 10), Ref(c.shown));
    }
}

TEST_F(PanelTest, WithoutPicturesDrawsTextInDisabledFontOnBkColor)
{
    THVPanel panel(nullptr);
    panel.SetBounds(0, 0, 60, 30);
    TFont disabled;
    disabled.SetName("Arial");
    disabled.SetHeight(-20);
    disabled.SetColor(clWhite);
    panel.SetFontOnDisabled(&disabled);
    panel.SetBkColor(clBlue);
    panel.SetText("WW");
    panel.Loaded();
    panel.Repaint();
    EXPECT_EQ(PixelAt(panel, 0, 0), Ref(0xFF0000FF));
    int white = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            white += PixelAt(panel, x, y) == 0xFFFFFF;
    EXPECT_GT(white, 10);
}

TEST_F(PanelTest, PictureFileErrorsHaveExactTexts)
{
    THVPanel panel(nullptr);
    panel.SetBounds(0, 0, 40, 20);
    const std::string idle = Solid("idle.png", 40, 20, kRed);
    panel.SetPicOnIdle(idle);

    try {
        panel.SetPicOnIdle(Path("missing.png"));
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "File not found : " + Path("missing.png"));
    }
    EXPECT_EQ(panel.PicOnIdle(), "");
    panel.Repaint();
    EXPECT_EQ(PixelAt(panel, 20, 10), Ref(kRed)) << "the old picture stays";

    panel.SetPicOnIdle(idle);
    try {
        panel.SetPicOnIdle("");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "File not found : ");
    }
    EXPECT_NO_THROW(panel.SetPicOnIdle("")) << "an empty name while empty does nothing";

    const std::string bad = Garbage("bad.png");
    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "alpha" : "bitmap");
        panel.SetUseAlpha(alpha);
        try {
            panel.SetPicOnChecked(bad);
            FAIL() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Error loading : " + bad);
        }
        EXPECT_EQ(panel.PicOnChecked(), "");
        EXPECT_FALSE(panel.SlotFilled(THVPanel::kSlotChecked));
    }
}

TEST_F(PanelTest, SameNameDoesNotReloadButFailedNameRetries)
{
    THVPanel panel(nullptr);
    panel.SetBounds(0, 0, 40, 20);
    const std::string file = Solid("checked.png", 40, 20, kYellow);
    panel.SetPicOnIdle(Solid("idle.png", 40, 20, kRed));
    panel.SetPicOnChecked(file);
    Solid("checked.png", 40, 20, kBlue);
    panel.SetPicOnChecked(file);
    panel.SetChecked(true);
    EXPECT_EQ(PixelAt(panel, 1, 1), Ref(kYellow));

    const std::string later = Path("later.png");
    EXPECT_THROW(panel.SetPicOnChecked(later), Exception);
    Solid("later.png", 40, 20, kGreen);
    panel.SetPicOnChecked(later);
    EXPECT_EQ(panel.PicOnChecked(), later);
    EXPECT_EQ(PixelAt(panel, 1, 1), Ref(kGreen));
}

// Renders what the panel should show: the idle picture with text written at (x, y).
class TextReference {
public:
    TextReference(int width, int height, TFont* font)
    {
        bitmap.SetSize(width, height);
        bitmap.Canvas()->Brush()->SetColor(clRed);
        bitmap.Canvas()->FillRect(TRect(0, 0, width, height));
        bitmap.Canvas()->SetFont(font);
        bitmap.Canvas()->Brush()->SetStyle(bsClear);
    }
    TCanvas* Canvas() { return bitmap.Canvas(); }
    bool SameAs(TControl& control)
    {
        for (int y = 0; y < bitmap.Height(); ++y)
            for (int x = 0; x < bitmap.Width(); ++x)
                if (bitmap.Canvas()->Pixels(x, y) != control.Canvas()->Pixels(x, y))
                    return false;
        return true;
    }
    TBitmap bitmap;
};

class PanelTextTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        font.SetName("Arial");
        font.SetHeight(-14);
        font.SetColor(clWhite);
        SetFontAntialiasedForReference();
        panel = std::make_unique<THVPanel>(nullptr);
        panel->SetBounds(0, 0, 80, 30);
        panel->SetPicOnIdle(Solid("idle.png", 80, 30, kRed));
        panel->SetPicOnMouseDown(Solid("down.png", 80, 30, kRed));
        panel->SetFontOnIdle(&font);
        panel->Loaded();
    }
    void SetFontAntialiasedForReference() { font.SetQuality(ANTIALIASED_QUALITY); }

    TFont font;
    std::unique_ptr<THVPanel> panel;
};

TEST_F(PanelTextTest, SingleLineIsCentredByDefault)
{
    panel->SetText("Play");
    TextReference ref(80, 30, &font);
    const int w = ref.Canvas()->TextWidth("Play"), h = ref.Canvas()->TextHeight("Play");
    ref.Canvas()->TextOut((80 - w) / 2, (30 - h) / 2, "Play");
    EXPECT_TRUE(ref.SameAs(*panel));
}

TEST_F(PanelTextTest, MarginOnPutsTextAtMarginX)
{
    panel->SetText("Play");
    panel->SetTextMarginOn(true);
    panel->SetTextMarginX(7);
    panel->SetTextMarginY(3);
    TextReference ref(80, 30, &font);
    const int h = ref.Canvas()->TextHeight("Play");
    ref.Canvas()->TextOut(7, (30 - h) / 2 + 3, "Play");
    EXPECT_TRUE(ref.SameAs(*panel));
}

TEST_F(PanelTextTest, WideTextIsCutAndEndsInDots)
{
    const std::string text = "A very long caption indeed";
    panel->SetText(text);
    TextReference ref(80, 30, &font);
    std::string shown = text;
    while (ref.Canvas()->TextWidth(shown + "..") >= 80 - 3 && shown.size() > 1)
        shown.pop_back();
    shown += "..";
    const int w = ref.Canvas()->TextWidth(shown);
    ASSERT_LT(w, 80 - 3);
    ref.Canvas()->TextOut((80 - w) / 2, (30 - ref.Canvas()->TextHeight(text)) / 2, shown);
    EXPECT_TRUE(ref.SameAs(*panel));
}

TEST_F(PanelTextTest, TwoLinesAreCentredAndTrailingLineFeedAddsNone)
{
    panel->SetText("One\nTwo");
    TextReference ref(80, 30, &font);
    const int h = ref.Canvas()->TextHeight("One\nTwo");
    RECT r{0, (30 - 2 * h) / 2 - 1, 80 - 3, (30 + 2 * h) / 2 + 1};
    DrawText(ref.Canvas()->Handle(), "One\nTwo", -1, &r, DT_CENTER | DT_WORDBREAK);
    EXPECT_TRUE(ref.SameAs(*panel));

    panel->SetText("One\nTwo\n");
    EXPECT_TRUE(ref.SameAs(*panel));
}

TEST_F(PanelTextTest, PressedTextMovesBothSingleAndMultiLine)
{
    panel->SetTextMoveX(3);
    panel->SetTextMoveY(2);
    for (const std::string text : {"Play", "One\nTwo"}) {
        SCOPED_TRACE(text);
        panel->SetText(text);
        Leave(*panel);
        Press(*panel, 5, 5);
        ASSERT_EQ(panel->State(), 2);
        TextReference ref(80, 30, &font);
        const int w = ref.Canvas()->TextWidth(text), h = ref.Canvas()->TextHeight(text);
        if (text.find('\n') == std::string::npos) {
            ref.Canvas()->TextOut((80 - w) / 2 + 3, (30 - h) / 2 + 2, text);
        } else {
            RECT r{3, (30 - 2 * h) / 2 + 2 - 1, 3 + 80 - 3, (30 + 2 * h) / 2 + 2 + 1};
            DrawText(ref.Canvas()->Handle(), text.c_str(), -1, &r, DT_CENTER | DT_WORDBREAK);
        }
        EXPECT_TRUE(ref.SameAs(*panel));
        panel->SetChecked(true);  // back to an idle state for the next text
        panel->SetChecked(false);
    }
}

TEST_F(PanelTextTest, MarginChangeWithoutMarginOnWaitsForNextPaint)
{
    panel->SetText("Play");
    TextReference before(80, 30, &font);
    const int w = before.Canvas()->TextWidth("Play"), h = before.Canvas()->TextHeight("Play");
    before.Canvas()->TextOut((80 - w) / 2, (30 - h) / 2, "Play");
    panel->SetTextMarginX(10);
    EXPECT_TRUE(before.SameAs(*panel));
    panel->Repaint();
    TextReference after(80, 30, &font);
    after.Canvas()->TextOut((80 - w) / 2 + 10, (30 - h) / 2, "Play");
    EXPECT_TRUE(after.SameAs(*panel));
}

TEST_F(PanelTest, FontsAreCopiesMadeAntialiased)
{
    THVPanel panel(nullptr);
    auto font = std::make_unique<TFont>();
    font->SetName("Arial");
    font->SetHeight(-17);
    panel.SetFontOnIdle(font.get());
    font->SetName("Courier");
    font.reset();
    for (TFont* f : {panel.FontOnIdle(), panel.FontOnDisabled(), panel.FontOnMouseMove(), panel.FontOnMouseDown(),
                     panel.FontOnChecked()}) {
        EXPECT_EQ(f->Name(), "Arial");
        EXPECT_EQ(f->Height(), -17);
        EXPECT_EQ(f->Quality(), ANTIALIASED_QUALITY);
    }
}

TEST_F(PanelTest, LoadedSecondTimeChangesNothing)
{
    auto panel = MakePanel();
    panel->Loaded();
    Press(*panel, 3, 3);
    panel->Loaded();
    EXPECT_EQ(panel->State(), 2);
}

TEST_F(PanelTest, EventsComeAfterStateChangeAndClickBeforeMouseUp)
{
    auto panel = MakePanel();
    panel->Loaded();
    std::vector<std::string> events;
    panel->OnMouseMove = [&](TObject*, TShiftState, int, int) { events.push_back("move " + std::to_string(panel->State())); };
    panel->OnMouseDown = [&](TObject* sender, TMouseButton b, TShiftState s, int x, int y) {
        EXPECT_EQ(sender, panel.get());
        EXPECT_EQ(b, mbLeft);
        EXPECT_TRUE(InShift(s, ssLeft));
        events.push_back("down " + std::to_string(panel->State()) + " " + std::to_string(x) + "," + std::to_string(y));
    };
    panel->OnClick = [&](TObject*) { events.push_back("click"); };
    panel->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("up"); };
    Move(*panel, 4, 6);
    Press(*panel, 4, 6);
    Release(*panel, 4, 6);
    EXPECT_EQ(events, (std::vector<std::string>{"move 1", "down 2 4,6", "click", "up"}));
}

TEST_F(PanelTest, HoverAndLeaveReportsSwitchPictures)
{
    auto panel = MakePanel();
    Settle();  // the leave reported at arming, the pointer being elsewhere
    EXPECT_EQ(panel->State(), 0);
    Enter(*panel, 10, 10);
    ASSERT_TRUE(WaitFor([&] { return panel->State() == 1; }));
    EXPECT_EQ(PixelAt(*panel, 20, 10), Ref(kGreen));
    Leave(*panel);
    ASSERT_TRUE(WaitFor([&] { return panel->State() == 0; }));
    EXPECT_EQ(PixelAt(*panel, 20, 10), Ref(kRed));
    Enter(*panel, 10, 10);
    EXPECT_TRUE(WaitFor([&] { return panel->State() == 1; })) << "leave re-arms the hover report";
    Leave(*panel);
    ASSERT_TRUE(WaitFor([&] { return panel->State() == 0; }));

    // Pressed the moment the pointer came (the window system's arrival without a move), before
    // the hover report: the leave still ends the pressed look.
    Enter(*panel, 10, 10);
    Press(*panel, 10, 10);
    Release(*panel, 10, 10);
    Leave(*panel);
    EXPECT_TRUE(WaitFor([&] { return panel->State() == 0; })) << "no pressed look left behind";

    Enter(*panel, 10, 10);
    ASSERT_TRUE(WaitFor([&] { return panel->State() == 1; }));

    // A modal window takes the pointer from every other window, whether or not the window
    // system reports the leave.
    panel->Show();
    QDialog modal;
    modal.setModal(true);
    modal.show();
    EXPECT_TRUE(WaitFor([&] { return panel->State() == 0; })) << "a modal window ends the hover look";
}

TEST_F(PanelTest, AlphaPictureBlendsOverBkColor)
{
    THVPanel panel(nullptr);
    panel.SetBounds(0, 0, 20, 10);
    panel.SetUseAlpha(true);
    panel.SetBkColor(clBlue);
    panel.SetPicOnIdle(Solid("half.png", 20, 10, 0x80FF0000));
    panel.Loaded();
    panel.Repaint();
    const COLORREF c = PixelAt(panel, 10, 5);
    EXPECT_NEAR(GetRValue(c), 128, 2);
    EXPECT_EQ(GetGValue(c), 0);
    EXPECT_NEAR(GetBValue(c), 127, 2);
}

TEST_F(PanelTest, BackgroundComesFromImageUnderThePanel)
{
    TPanel form(nullptr);
    form.SetBounds(0, 0, 100, 60);
    TImage image(nullptr);
    image.SetParent(&form);
    image.SetBounds(0, 0, 100, 60);
    TBitmap* bitmap = image.Picture()->Bitmap();
    bitmap->SetSize(100, 60);
    bitmap->Canvas()->Brush()->SetColor(clGreen);
    bitmap->Canvas()->FillRect(TRect(0, 0, 100, 60));
    bitmap->Canvas()->Brush()->SetColor(clLime);
    bitmap->Canvas()->FillRect(TRect(30, 20, 50, 30));  // what lies under the panel

    THVPanel panel(nullptr);
    panel.SetParent(&form);
    panel.SetBounds(30, 20, 20, 10);
    panel.SetBackgroundImage(&image);
    panel.SetUseAlpha(true);
    panel.SetPicOnIdle(Solid("clear.png", 20, 10, 0x00FF0000));
    panel.Loaded();
    panel.Repaint();
    EXPECT_EQ(PixelAt(panel, 0, 0), COLORREF(clLime));
    EXPECT_EQ(PixelAt(panel, 19, 9), COLORREF(clLime));
}

}  // namespace
