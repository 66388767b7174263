// Message boxes and beeps without a user: the default answers, and the handler that tests and
// tools install.
#include "platform/ui/MessageBox.h"

#include <gtest/gtest.h>

namespace {

TEST(MessageBox, DefaultAnswerIsTheDefaultButton)
{
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_YESNO), IDYES);
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
}

TEST(MessageBox, HeadlessBoxReturnsAtOnceWithTheDefault)
{
    // The tests run on the offscreen platform: nothing may wait for a user.
    EXPECT_EQ(MessageBox("Do you want reset all settings to default?", "Warning!", MB_YESNO | MB_DEFBUTTON2), IDNO);
    ShowMessage("Nothing to save!");
    Beep();
}

TEST(MessageBox, HandlerSeesEveryBoxAndAnswers)
{
    std::vector<TMessageBoxRequest> seen;
    TMessageBoxHandler before = SetMessageBoxHandler([&](const TMessageBoxRequest& r) {
        seen.push_back(r);
        return IDYES;
    });
    EXPECT_EQ(MessageBox("Question", "Warning!", MB_YESNO), IDYES);
    ShowMessage("No riff selected");
    SetMessageBoxHandler([](const TMessageBoxRequest&) -> int { throw std::runtime_error("broken"); });
    EXPECT_EQ(MessageBox("x", "", MB_YESNO | MB_DEFBUTTON2), IDNO) << "a failing handler answers the default";
    SetMessageBoxHandler(before);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, "Warning!");
    EXPECT_EQ(seen[1].text, "No riff selected");
    EXPECT_EQ(seen[1].caption, "");
    EXPECT_EQ(seen[1].flags, MB_OK);
    int beeps = 0;
    TBeepHandler beepBefore = SetBeepHandler([&] { ++beeps; });
    Beep();
    SetBeepHandler(beepBefore);
    EXPECT_EQ(beeps, 1);
}

}  // namespace
