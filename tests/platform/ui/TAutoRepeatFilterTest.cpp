// Key events as the window system sends them while keys are held and let go, with their time
// stamps, and what the window is asked to do.
#include "platform/ui/TAutoRepeatFilter.h"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>

namespace {

// One step per word: "+q@760" a press of q at 760 ms, "-q@760r" a release the toolkit marked as
// a repeat, "~" the hold's deadline. q and w carry X11 keycodes and keysyms; Q has no native data
// (as offscreen). The result lists the routes: "Dq" key-down, "Dq*" repeated key-down, "Uq" key-up.
std::string Routes(const std::string& steps)
{
    TAutoRepeatFilter filter;
    std::istringstream in(steps);
    std::string step;
    std::string out;
    const auto put = [&out](const TKeyRoute& r) {
        if (r.action == TKeyAction::Ignore)
            return;
        out += out.empty() ? "" : " ";
        out += r.action == TKeyAction::KeyDown ? 'D' : 'U';
        out += r.key == 'W' ? 'w' : 'q';
        if (r.repeat)
            out += '*';
    };
    while (in >> step) {
        if (step == "~") {
            if (const auto release = filter.TakeHeldRelease())
                put(*release);
            continue;
        }
        TKeyEventData e;
        e.press = step[0] == '+';
        e.autoRepeat = step.back() == 'r';
        e.toolkitKey = std::toupper(static_cast<unsigned char>(step[1]));
        if (step[1] == 'q') {
            e.nativeScanCode = 24;
            e.nativeKeySym = 0x71;
        } else if (step[1] == 'w') {
            e.nativeScanCode = 25;
            e.nativeKeySym = 0x77;
        }
        e.time = std::stoull(step.substr(3));
        const TFilteredKey f = filter.Feed(e);
        if (f.heldRelease)
            put(*f.heldRelease);
        put(f.route);
    }
    return out;
}

TEST(AutoRepeatFilter, HeldKeysAndTheirReleasesRouteAsTheUserPressedThem)
{
    struct Case {
        const char* what;
        const char* steps;
        const char* routes;
    };
    const Case cases[] = {
        {"repeat pairs the toolkit marked", "+q@100 -q@760r +q@760r -q@800r +q@800r -q@830 ~", "Dq Dq* Dq* Uq"},
        {"a pair whose press came late is a repeat", "+q@100 -q@760 +q@760 -q@800r +q@800r -q@830 ~",
         "Dq Dq* Dq* Uq"},
        {"a quick second press is a new press", "+q@100 -q@200 +q@230 -q@300 ~", "Dq Uq Dq Uq"},
        {"another key delivers the held release first", "+q@100 -q@200 +w@200 -w@300 ~", "Dq Uq Dw Uw"},
        {"a release of another key is no repeat", "+q@100 +w@150 -q@300 -w@300 ~", "Dq Dw Uq Uw"},
        {"the deadline delivers the release", "+q@100 -q@200 ~ ~ +q@400", "Dq Uq Dq"},
        {"no release is held without native data", "+Q@0 -Q@0 +Q@0 -Q@0r +Q@0r", "Dq Uq Dq Dq*"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Routes(c.steps), c.routes) << c.what;
}

TEST(AutoRepeatFilter, HeldReleaseKeepsItsShiftState)
{
    TAutoRepeatFilter filter;
    TKeyEventData shiftUp;
    shiftUp.press = false;
    shiftUp.toolkitKey = 0x01000020;  // Qt's Shift
    shiftUp.nativeKeySym = 0xffe1;    // Shift_L
    shiftUp.nativeScanCode = 50;
    shiftUp.shift = ssShift | ssCtrl;
    shiftUp.time = 10;
    EXPECT_EQ(filter.Feed(shiftUp).route.action, TKeyAction::Ignore);
    TKeyEventData q;
    q.toolkitKey = 'Q';
    q.nativeKeySym = 0x71;
    q.nativeScanCode = 24;
    q.time = 20;
    const TFilteredKey f = filter.Feed(q);
    ASSERT_TRUE(f.heldRelease);
    EXPECT_EQ(f.heldRelease->action, TKeyAction::KeyUp);
    EXPECT_EQ(f.heldRelease->key, VK_SHIFT);
    EXPECT_EQ(f.heldRelease->shift, TShiftState(ssCtrl));
    EXPECT_EQ(f.route.action, TKeyAction::KeyDown);
    EXPECT_FALSE(filter.Holding());
}

}  // namespace
