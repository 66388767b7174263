// The picture list: layout, automatic width and refitting, selection, hit tests and painting.
#include <filesystem>
#include <memory>

#include "ControlFixtures.h"
#include "controls/THVList.h"
#include "platform/system/Exception.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TFont.h"

using namespace fixtures;

namespace {

constexpr std::uint32_t kIdle = 0xFF202080, kMove = 0xFF20A020, kDown = 0xFFA02020, kSelected = 0xFFC0C000,
                        kDisabled = 0xFF808080;

class ListTest : public ControlTest {
protected:
    // A list of three items in cells of 40 x 10 with all five pictures, loaded.
    std::unique_ptr<THVList> MakeList(bool horizontal = false)
    {
        auto list = std::make_unique<THVList>(nullptr);
        list->SetHorizontal(horizontal);
        TFont font;
        font.SetName("Arial");
        font.SetHeight(-8);
        font.SetColor(clWhite);
        list->SetFontOnIdle(&font);
        list->SetPicOnIdle(Solid("idle.png", 40, 10, kIdle));
        list->SetPicOnMouseMove(Solid("move.png", 40, 10, kMove));
        list->SetPicOnMouseDown(Solid("down.png", 40, 10, kDown));
        list->SetPicOnSelected(Solid("selected.png", 40, 10, kSelected));
        list->SetPicOnDisabled(Solid("disabled.png", 40, 10, kDisabled));
        list->Items()->Add("a");
        list->Items()->Add("b");
        list->Items()->Add("c");
        list->Loaded();
        Settle();
        list->OnChange = [this](TObject*) { ++changes; };
        return list;
    }
    // The colour of item i's cell at its top-left pixel (where no text goes).
    COLORREF Cell(THVList& list, int i)
    {
        return list.Horizontal() ? PixelAt(list, i * list.CellWidth(), 0) : PixelAt(list, 0, i * list.CellHeight());
    }
    int changes = 0;
};

TEST_F(ListTest, CellsStackOrLineUp)
{
    auto vertical = MakeList(false);
    EXPECT_EQ(vertical->Width(), 40);
    EXPECT_EQ(vertical->Height(), 30);
    auto horizontal = MakeList(true);
    EXPECT_EQ(horizontal->Width(), 120);
    EXPECT_EQ(horizontal->Height(), 10);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Cell(*horizontal, i), Ref(kIdle));
}

TEST_F(ListTest, CellPictureFollowsItemState)
{
    auto list = MakeList();
    list->SetItemIndex(0);
    Move(*list, 20, 15);
    Press(*list, 20, 25);
    EXPECT_EQ(Cell(*list, 0), Ref(kSelected));
    EXPECT_EQ(Cell(*list, 1), Ref(kMove));
    EXPECT_EQ(Cell(*list, 2), Ref(kDown));
    list->SetEnabled(false);
    list->Repaint();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Cell(*list, i), Ref(kDisabled));
}

struct HitCase {
    bool horizontal;
    int x, y;
    int pressed;
};

TEST_F(ListTest, PressRecordsItemUnderPointer)
{
    const HitCase cases[] = {
        {false, 20, 5, 0}, {false, 20, 15, 1}, {false, 20, 29, 2}, {false, 0, 15, -1}, {false, 20, 0, -1},
        {false, 40, 15, -1}, {true, 5, 5, 0}, {true, 45, 5, 1}, {true, 119, 5, 2}, {true, 60, 0, -1},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.horizontal ? "horizontal " : "vertical ") << c.x << "," << c.y);
        auto list = MakeList(c.horizontal);
        Press(*list, c.x, c.y);
        EXPECT_EQ(list->PressedItem(), c.pressed);
    }
}

TEST_F(ListTest, ClickSelectsPressedItemInEventOrder)
{
    auto list = MakeList();
    std::vector<std::string> events;
    list->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("down"); };
    list->OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, list.get());
        events.push_back("change " + std::to_string(list->ItemIndex()));
    };
    list->OnClick = [&](TObject*) { events.push_back("click"); };
    list->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("up"); };
    Press(*list, 20, 15);
    EXPECT_EQ(Cell(*list, 1), Ref(kDown));
    Release(*list, 20, 15);
    EXPECT_EQ(events, (std::vector<std::string>{"down", "change 1", "click", "up"}));
    EXPECT_EQ(list->PressedItem(), -1);
    EXPECT_EQ(Cell(*list, 1), Ref(kSelected));
}

TEST_F(ListTest, ClickWithoutRecordedPressSelectsNothing)
{
    auto list = MakeList();
    list->SetItemIndex(1);
    Press(*list, 0, 15);  // the first pixel column records no press
    Release(*list, 0, 15);
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(changes, 1);
}

TEST_F(ListTest, HoveringPressedItemDoesNotHoverIt)
{
    auto list = MakeList();
    Press(*list, 20, 15);
    Move(*list, 20, 16);
    EXPECT_EQ(list->HoveredItem(), -1);
    Move(*list, 20, 25);
    EXPECT_EQ(list->HoveredItem(), 2);
    Move(*list, 20, 26, Qt::LeftButton);
    EXPECT_EQ(list->HoveredItem(), 2) << "a held button changes nothing";
    Leave(*list);
    EXPECT_TRUE(WaitFor([&] { return list->HoveredItem() == -1; }));
}

TEST_F(ListTest, ItemChangesDropOutOfRangeSelection)
{
    auto list = MakeList();
    list->SetItemIndex(2);
    list->Items()->Delete(0);
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(list->Height(), 20);

    list->SetItemIndex(0);
    list->Items()->Delete(1);
    EXPECT_EQ(list->ItemIndex(), 0);
    EXPECT_EQ(changes, 1);
}

TEST_F(ListTest, ProgramSelectionIsStoredUncheckedAndSilent)
{
    auto list = MakeList();
    list->SetItemIndex(5);
    EXPECT_EQ(list->ItemIndex(), 5);
    EXPECT_EQ(changes, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Cell(*list, i), Ref(kIdle));
}

TEST_F(ListTest, PressedTextMovesByMoveXAndMoveY)
{
    auto list = MakeList();
    list->SetTextMoveX(3);
    list->SetTextMoveY(2);
    // The same cell drawn once idle and once pressed, with the same picture for both.
    list->SetPicOnMouseDown(Solid("idle.png", 40, 10, kIdle));
    list->Repaint();
    std::vector<COLORREF> idle;
    for (int y = 10; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            idle.push_back(PixelAt(*list, x, y));
    Press(*list, 20, 15);
    for (int y = 10; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            const int fromX = x - 3, fromY = y - 2;
            const COLORREF expected = fromX >= 0 && fromY >= 10 ? idle[size_t((fromY - 10) * 40 + fromX)] : Ref(kIdle);
            ASSERT_EQ(PixelAt(*list, x, y), expected) << x << "," << y;
        }
}

TEST_F(ListTest, AutoWidthFollowsLongestTextWithFloor)
{
    auto list = std::make_unique<THVList>(nullptr);
    TFont font;
    font.SetName("Arial");
    font.SetHeight(-12);
    list->SetFontOnIdle(&font);
    TBitmap measure;
    measure.SetSize(1, 1);
    measure.Canvas()->SetFont(list->FontOnIdle());
    const std::string longText = "A rather long item text for the list";
    const int longWidth = measure.Canvas()->TextWidth(longText + "HH");
    ASSERT_GT(longWidth, 100);
    ASSERT_LT(measure.Canvas()->TextWidth("ab" + std::string("HH")), 99);

    list->SetTextMoveX(1);
    list->SetMinAutoWidth(100);
    list->SetAutoWidth(true);
    list->SetPicOnIdle(Solid("idle.png", 40, 10, kIdle));
    list->Items()->Add("ab");
    list->Items()->Add("a");  // the first of the longest counts
    EXPECT_EQ(list->Width(), 100);
    EXPECT_EQ(list->CellWidth(), 100);
    list->Items()->Add(longText);
    EXPECT_EQ(list->Width(), longWidth + 1);
    EXPECT_EQ(list->Height(), 30);
    list->SetHorizontal(true);
    EXPECT_EQ(list->Width(), 3 * (longWidth + 1));
}

struct RefitCase {
    int natural;
    std::function<int(int x)> source;  // which natural column lands at x of the 100-wide cell
};

TEST_F(ListTest, RefitKeepsEndsAndRepeatsColumn)
{
    const RefitCase cases[] = {
        {120, [](int x) { return x < 90 ? x : x + 20; }},
        {50, [](int x) { return x < 40 ? x : x < 90 ? 40 : x - 50; }},
        {100, [](int x) { return x; }},
    };
    auto colour = [](int x) { return 0xFF000000u | (std::uint32_t(x) << 16) | (std::uint32_t(255 - x) << 8) | 7u; };
    for (const RefitCase& c : cases) {
        SCOPED_TRACE(c.natural);
        THVList list(nullptr);
        TFont font;
        font.SetHeight(-8);
        list.SetFontOnIdle(&font);
        list.SetMinAutoWidth(100);
        list.SetAutoWidth(true);
        const std::string file = Path("columns" + std::to_string(c.natural) + ".png");
        WritePng(file, c.natural, 30, [&](int x, int) { return colour(x); });
        list.SetPicOnIdle(file);
        list.Items()->Add("i");
        ASSERT_EQ(list.CellWidth(), 100);
        list.Repaint();
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(PixelAt(list, x, 0), Ref(colour(c.source(x)))) << "column " << x;
    }
}

TEST_F(ListTest, BackBufferStartsFilledWithColor)
{
    THVList list(nullptr);
    list.SetColor(clAqua);
    list.SetPicOnIdle(Solid("idle.png", 40, 10, kIdle));
    list.SetItemIndex(1);  // no selected picture: the cell shows what the buffer holds
    list.Items()->Assign(std::vector<std::string>{"a", "b"});
    EXPECT_EQ(Cell(list, 0), Ref(kIdle));
    EXPECT_EQ(PixelAt(list, 0, 10), COLORREF(clAqua));
}

TEST_F(ListTest, PaintingRefitsWithoutFilesButLayoutReloadsThem)
{
    THVList list(nullptr);
    list.SetMinAutoWidth(60);
    list.SetAutoWidth(true);
    const std::string idle = Solid("idle.png", 40, 10, kIdle);
    list.SetPicOnIdle(idle);
    list.Items()->Add("a");
    list.Items()->Add("b");
    ASSERT_EQ(list.CellWidth(), 60);
    std::filesystem::remove(idle);
    list.SetPicOnMouseMove(Solid("move.png", 40, 10, kMove));
    Move(list, 50, 15);
    EXPECT_NO_THROW(list.Repaint());
    EXPECT_EQ(PixelAt(list, 59, 10), Ref(kMove)) << "the hover picture was refitted to 60 in paint";
    EXPECT_EQ(PixelAt(list, 59, 0), Ref(kIdle));
    EXPECT_THROW(list.Items()->Add("c"), Exception);
}

TEST_F(ListTest, PressWithoutCellSizeRecordsNothing)
{
    THVList list(nullptr);
    list.SetPicOnMouseDown(Solid("down.png", 40, 10, kDown));
    list.Items()->Add("a");
    ASSERT_EQ(list.CellHeight(), 0);
    Press(list, 5, 5);
    Move(list, 6, 6);
    EXPECT_EQ(list.PressedItem(), -1);
}

TEST_F(ListTest, MarginXWithoutMarginOnWaitsForNextPaint)
{
    auto list = MakeList();
    std::vector<COLORREF> before;
    for (int x = 0; x < 40; ++x)
        before.push_back(PixelAt(*list, x, 5));
    list->SetTextMarginX(9);
    for (int x = 0; x < 40; ++x)
        ASSERT_EQ(PixelAt(*list, x, 5), before[size_t(x)]);
    list->Repaint();
    bool changed = false;
    for (int x = 0; x < 40; ++x)
        changed |= PixelAt(*list, x, 5) != before[size_t(x)];
    EXPECT_TRUE(changed);
}

}  // namespace
