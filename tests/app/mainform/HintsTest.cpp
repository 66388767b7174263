// Tool-tip hints from a configuration list, applied to a control tree.
#include "app/AppTestSupport.h"
#include "app/mainform/HintsFromContext.h"
#include "platform/system/Exception.h"
#include "platform/ui/TControl.h"
#include "platform/ui/TPanel.h"

#include <gtest/gtest.h>

namespace {

const char* kHints = R"cfg(context general
	string Hints[]="default hint"
endcontext
general.Hints[PlayButton]="Start the groove|(Space)"
general.Hints[GlobalPanel]="Everything"
general.Hints[Quiet]=""
general.Hints[Inner]="Nested"
general.Hints[Deep]="Two|levels|down"
context nohints
	string Other="x"
endcontext
)cfg";

struct Tree {
    Tree()
    {
        LoadText(root, kHints);
        global.SetName("GlobalPanel");
        play.SetName("PlayButton");
        play.SetParent(&global);
        quiet.SetName("Quiet");
        quiet.SetParent(&global);
        inner.SetName("Inner");
        inner.SetParent(&global);
        deep.SetName("Deep");
        deep.SetParent(&inner);
        unlisted.SetName("Unlisted");
        unlisted.SetParent(&inner);
    }
    TDVContext root;
    TPanel global{nullptr};
    TControl play{&global};
    TControl quiet{&global};
    TPanel inner{&global};
    TControl deep{&global};
    TControl unlisted{&global};
};

TEST(SetHintsFromContext, SetsEveryControlAtAnyDepthWithLineBreaks)
{
    Tree t;
    SetHintsFromContext(&t.global, t.root.GetContext("general"));
    EXPECT_EQ(t.global.Hint(), "Everything");
    EXPECT_EQ(t.play.Hint(), "Start the groove\n(Space)");
    EXPECT_TRUE(t.play.ShowHint());
    EXPECT_EQ(t.inner.Hint(), "Nested");
    EXPECT_EQ(t.deep.Hint(), "Two\nlevels\ndown");
    EXPECT_TRUE(t.deep.ShowHint());
    EXPECT_EQ(t.unlisted.Hint(), "default hint") << "a name without an entry reads the list's default";
}

TEST(SetHintsFromContext, EmptyHintIsNotShownEvenUnderAParentThatShowsHints)
{
    Tree t;
    t.quiet.SetHint("old");
    t.quiet.SetShowHint(true);
    SetHintsFromContext(&t.global, t.root.GetContext("general"));
    EXPECT_TRUE(t.global.ShowHint());
    EXPECT_EQ(t.quiet.Hint(), "");
    EXPECT_FALSE(t.quiet.ShowHint());
}

TEST(SetHintsFromContext, UnnamedControlReadsTheDefault)
{
    TDVContext root;
    LoadText(root, kHints);
    TControl unnamed(nullptr);
    SetHintsFromContext(&unnamed, root.GetContext("general"));
    EXPECT_EQ(unnamed.Hint(), "default hint");
}

TEST(SetHintsFromContext, ContextWithoutHintsListRaisesTheConfigurationError)
{
    Tree t;
    EXPECT_THROW(SetHintsFromContext(&t.global, t.root.GetContext("nohints")), Exception);
}

}  // namespace
