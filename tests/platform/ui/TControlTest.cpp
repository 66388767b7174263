// Window controls without a pointer: ownership and parents, layout, painting into the readable
// canvas, posted messages, the exception box and mouse-tracking requests.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/ApplicationInstance.h"
#include "platform/ui/EventBridge.h"
#include "platform/system/Exception.h"
#include "platform/ui/MouseTracking.h"
#include "platform/drawing/TCanvas.h"
#include "platform/ui/TPanel.h"
#include "platform/ui/WindowMessages.h"

namespace {

// At least one pass however late the thread comes back to it: posted messages all arrive in it.
void RunMessagesFor(int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < end);
}

// A panel that counts its paints, records its messages and says when it is destroyed.
class ProbePanel : public TPanel {
public:
    explicit ProbePanel(TControl* owner, bool* destroyed = nullptr) : TPanel(owner), destroyed_(destroyed) {}
    ~ProbePanel() override
    {
        if (destroyed_)
            *destroyed_ = true;
    }
    int paints = 0;
    std::vector<UINT> messages;
    bool throwOnMessage = false;

protected:
    void Paint() override
    {
        ++paints;
        TPanel::Paint();
    }
    void Dispatch(TMessage& message) override
    {
        if (message.Msg != WM_PAINT && message.Msg != WM_ERASEBKGND)
            messages.push_back(message.Msg);
        if (throwOnMessage && message.Msg == WM_USER + 7)
            throw Exception("Handler failed");
        TPanel::Dispatch(message);
    }

private:
    bool* destroyed_;
};

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
};

TEST_F(ControlTest, OwnerDestroysWhatItOwnsAndForgetsWhatWentFirst)
{
    bool first = false, second = false;
    auto* owner = new TPanel(nullptr);
    auto* a = new ProbePanel(owner, &first);
    new ProbePanel(owner, &second);
    ASSERT_EQ(owner->ComponentCount(), 2);
    delete a;
    EXPECT_TRUE(first);
    EXPECT_EQ(owner->ComponentCount(), 1);
    delete owner;
    EXPECT_TRUE(second);
}

TEST_F(ControlTest, ParentDestroysChildrenOwnedElsewhere)
{
    bool destroyed = false;
    TPanel owner(nullptr);
    auto* parent = new TPanel(nullptr);
    auto* child = new ProbePanel(&owner, &destroyed);
    child->SetParent(parent);
    ASSERT_EQ(parent->ControlCount(), 1);
    EXPECT_EQ(parent->Controls(0), child);
    delete parent;
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST_F(ControlTest, ParentCannotBeOwnDescendant)
{
    TPanel outer(nullptr);
    TPanel inner(nullptr);
    inner.SetParent(&outer);
    EXPECT_THROW(outer.SetParent(&inner), Exception);
    EXPECT_THROW(outer.SetParent(&outer), Exception);
    inner.SetParent(nullptr);
    EXPECT_EQ(outer.ControlCount(), 0);
}

struct AlignCase {
    TAlign align;
    TRect expected;
};

TEST_F(ControlTest, AlignedChildrenShareTheClientArea)
{
    TPanel parent(nullptr);
    parent.SetBounds(0, 0, 200, 100);
    const AlignCase cases[] = {
        {alTop, TRect(0, 0, 200, 20)},      {alBottom, TRect(0, 90, 200, 100)}, {alLeft, TRect(0, 20, 30, 90)},
        {alRight, TRect(160, 20, 200, 90)}, {alClient, TRect(30, 20, 160, 90)},
    };
    const int sizes[] = {20, 10, 30, 40, 5};
    std::vector<TPanel*> children;
    for (size_t i = 0; i < 5; ++i) {
        auto* child = new TPanel(&parent);
        child->SetParent(&parent);
        child->SetBounds(0, 0, sizes[i], sizes[i]);
        child->SetAlign(cases[i].align);
        children.push_back(child);
    }
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(children[i]->BoundsRect() == cases[i].expected);
    }
    parent.SetBounds(0, 0, 300, 100);
    EXPECT_TRUE(children[4]->BoundsRect() == TRect(30, 20, 260, 90)) << "a size change realigns";
    children[0]->SetVisible(false);
    EXPECT_TRUE(children[2]->BoundsRect() == TRect(0, 0, 30, 90)) << "hidden children take no room";
}

TEST_F(ControlTest, ResizeRunsOnlyAfterLoaded)
{
    TPanel panel(nullptr);
    int resizes = 0;
    panel.OnResize = [&](TObject* sender) {
        EXPECT_EQ(sender, &panel);
        ++resizes;
    };
    panel.SetBounds(0, 0, 50, 50);
    EXPECT_EQ(resizes, 0);
    EXPECT_TRUE(panel.ComponentState() & csLoading);
    panel.Loaded();
    panel.SetBounds(0, 0, 60, 50);
    panel.SetBounds(5, 5, 60, 50);
    EXPECT_EQ(resizes, 1);
}

TEST_F(ControlTest, RepaintPaintsBeforeReturningInvalidateWaits)
{
    ProbePanel panel(nullptr);
    panel.SetBounds(0, 0, 30, 20);
    panel.Repaint();
    const int first = panel.paints;
    EXPECT_GE(first, 1);
    panel.Invalidate();
    EXPECT_EQ(panel.paints, first);
    panel.Update();
    EXPECT_EQ(panel.paints, first + 1);
    panel.Update();
    EXPECT_EQ(panel.paints, first + 1) << "nothing marked, nothing painted";
}

TEST_F(ControlTest, PanelPaintsColorBevelsAndCaptionOnItsCanvas)
{
    TPanel panel(nullptr);
    panel.SetBounds(0, 0, 60, 30);
    panel.SetColor(clRed);
    panel.Repaint();
    EXPECT_EQ(panel.Canvas()->Pixels(0, 0), TColor(0xFFFFFF)) << "raised bevel, light edge";
    EXPECT_EQ(panel.Canvas()->Pixels(59, 29), TColor(0x808080)) << "raised bevel, dark edge";
    EXPECT_EQ(panel.Canvas()->Pixels(30, 2), clRed);

    panel.SetBevelOuter(bvNone);
    panel.SetCaption("Caption");
    panel.Font()->SetColor(clWhite);
    panel.Repaint();
    EXPECT_EQ(panel.Canvas()->Pixels(0, 0), clRed);
    int white = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            white += panel.Canvas()->Pixels(x, y) == clWhite;
    EXPECT_GT(white, 5);
}

TEST_F(ControlTest, PostedMessagesReachMessageMap)
{
    ProbePanel panel(nullptr);
    ASSERT_TRUE(PostMessage(panel.Handle(), WM_USER + 1, 2, 3));
    EXPECT_EQ(panel.Perform(WM_USER + 2, 0, 0), 0);
    RunMessagesFor(20);
    EXPECT_EQ(panel.messages, (std::vector<UINT>{WM_USER + 2, WM_USER + 1}));
}

TEST_F(ControlTest, ExceptionFromMessageMapIsShownNotThrown)
{
    std::vector<std::string> shown;
    TExceptionSink old = SetExceptionSink([&](const std::string& text) { shown.push_back(text); });
    ProbePanel panel(nullptr);
    panel.throwOnMessage = true;
    PostMessage(panel.Handle(), WM_USER + 7, 0, 0);
    RunMessagesFor(20);
    CallEventHandler([] { throw std::runtime_error("Plain failure!"); });
    CallEventHandler([] { throw 42; });
    SetExceptionSink(std::move(old));
    EXPECT_EQ(shown, (std::vector<std::string>{"Handler failed.", "Plain failure!", "Unknown exception."}));
}

TEST_F(ControlTest, ExceptionBoxEndsTextWithFullStop)
{
    const std::pair<std::string, std::string> cases[] = {
        {"File not found : a.png", "File not found : a.png."}, {"Done.", "Done."}, {"Why?", "Why?."}, {"Wow!", "Wow!"},
        {"", ""}, {"x)", "x)"}, {"Error loading : ", "Error loading : "},
    };
    for (const auto& [message, text] : cases)
        EXPECT_EQ(ExceptionBoxText(message), text) << message;
}

TEST_F(ControlTest, TrackMouseEventRefusesWhatIsNoWindowControl)
{
    TRACKMOUSEEVENT track;
    EXPECT_EQ(TrackMouseEvent(nullptr), FALSE);
    track.dwFlags = TME_HOVER;
    track.hwndTrack = reinterpret_cast<HWND>(std::uintptr_t(0x7fff0000));
    EXPECT_EQ(TrackMouseEvent(&track), FALSE);
    TPanel panel(nullptr);
    track.hwndTrack = panel.Handle();
    track.cbSize = 16;
    EXPECT_EQ(TrackMouseEvent(&track), sizeof(TRACKMOUSEEVENT) == 16 ? TRUE : FALSE);
}

TEST_F(ControlTest, LeaveRequestedWhilePointerIsElsewhereArrivesAtOnce)
{
    ProbePanel panel(nullptr);
    TRACKMOUSEEVENT track;
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = panel.Handle();
    track.dwHoverTime = 10;
    ASSERT_EQ(TrackMouseEvent(&track), TRUE);
    RunMessagesFor(30);
    EXPECT_EQ(panel.messages, (std::vector<UINT>{WM_MOUSELEAVE}));

    track.dwFlags = TME_HOVER;
    ASSERT_EQ(TrackMouseEvent(&track), TRUE);
    TRACKMOUSEEVENT query;
    query.dwFlags = TME_QUERY;
    query.hwndTrack = panel.Handle();
    ASSERT_EQ(TrackMouseEvent(&query), TRUE);
    EXPECT_EQ(query.dwFlags, TME_HOVER) << "the hover request waits for the pointer";
    EXPECT_EQ(query.dwHoverTime, 10u);
    track.dwFlags = TME_CANCEL | TME_HOVER;
    TrackMouseEvent(&track);
    query.dwFlags = TME_QUERY;
    TrackMouseEvent(&query);
    EXPECT_EQ(query.dwFlags, 0u);
}

TEST_F(ControlTest, ClientPointsMapThroughParents)
{
    TPanel window(nullptr);
    window.SetBounds(100, 50, 300, 200);
    TPanel inner(nullptr);
    inner.SetParent(&window);
    inner.SetBounds(10, 20, 100, 100);
    TPanel innermost(nullptr);
    innermost.SetParent(&inner);
    innermost.SetBounds(5, 6, 10, 10);
    const POINT a = innermost.ClientToScreen(POINT{1, 2});
    const POINT b = window.ClientToScreen(POINT{0, 0});
    EXPECT_EQ(a.x - b.x, 16);
    EXPECT_EQ(a.y - b.y, 28);
    const POINT back = inner.ScreenToClient(a);
    EXPECT_EQ(back.x, 6);
    EXPECT_EQ(back.y, 8);
}

}  // namespace
