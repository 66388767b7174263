// The riff history and the previous/next riff search along the bound keys of the binding sets.
#include "app/AppTestSupport.h"
#include "app/keyboard/KeyBindings.h"
#include "app/keyboard/OnScreenKeyboard.h"
#include "app/riffs/RiffHistory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Entry = RiffHistory::TEntry;

std::vector<std::string> Riffs(const RiffHistory& history)
{
    std::vector<std::string> riffs;
    for (const Entry& e : history.Entries())
        riffs.push_back(e.riff);
    return riffs;
}

TEST(RiffHistory, RecordAppendsAndMovesThePosition)
{
    RiffHistory history;
    EXPECT_EQ(history.Current(), nullptr);
    history.Record("a", 0);
    history.Record("b", ssShift);
    EXPECT_EQ(Riffs(history), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(history.Position(), 1u);
    EXPECT_EQ(*history.Current(), (Entry{"b", ssShift}));
}

TEST(RiffHistory, PlayingTheCurrentEntryAgainAddsNothing)
{
    RiffHistory history;
    history.Record("a", 0);
    history.Record("a", ssAlt);
    EXPECT_EQ(Riffs(history), (std::vector<std::string>{"a"}));
    EXPECT_EQ(history.Current()->set, 0u) << "the entry keeps the set it was first played with";
}

TEST(RiffHistory, PlayingAfterGoingBackDropsTheLaterEntries)
{
    RiffHistory history;
    history.Record("a", 0);
    history.Record("b", 0);
    history.Record("c", 0);
    ASSERT_TRUE(history.Back());
    ASSERT_TRUE(history.Back());
    history.Record("d", 0);
    EXPECT_EQ(Riffs(history), (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(history.Position(), 1u);
}

TEST(RiffHistory, PlayingTheEntryGoneBackToDropsOnlyTheLaterOnes)
{
    RiffHistory history;
    history.Record("a", 0);
    history.Record("b", 0);
    ASSERT_TRUE(history.Back());
    history.Record("a", 0);
    EXPECT_EQ(Riffs(history), (std::vector<std::string>{"a"}));
}

TEST(RiffHistory, BackAndForwardStopAtTheEnds)
{
    RiffHistory history;
    EXPECT_FALSE(history.Back());
    EXPECT_FALSE(history.Forward());
    history.Record("a", 0);
    history.Record("b", ssAlt);
    EXPECT_FALSE(history.Forward());
    EXPECT_EQ(history.Back(), (Entry{"a", 0}));
    EXPECT_FALSE(history.Back());
    EXPECT_EQ(history.Position(), 0u);
    EXPECT_EQ(history.Forward(), (Entry{"b", ssAlt}));
    EXPECT_FALSE(history.Forward());
    history.Clear();
    EXPECT_FALSE(history.Back());
    EXPECT_EQ(history.Current(), nullptr);
}

// Keys A..G and the modifiers; per mode, a text of bindings.
std::string Config(const std::string& bindings)
{
    std::string text = R"(context keyboard
	context key[]
		integer scan_code=0
		bool slim=1
		string state="initial"
		string Caption=""
		integer left=0
		integer top=0
		integer width=10
		integer height=10
		string skin=""
	endcontext
endcontext
)";
    int code = 'A';
    for (const char* name : {"A", "B", "C", "D", "E", "F", "G"})
        text += std::string("keyboard.key[") + name + "].scan_code=" + std::to_string(code++) + "\n";
    text += "keyboard.key[SHIFT].scan_code=16\nkeyboard.key[CTRL].scan_code=17\nkeyboard.key[ALT].scan_code=18\n";
    text += "context mode[]\n\tcontext toggle[]\n\t\tstring bind[]=\"\"\n\tendcontext\nendcontext\nmode[m] {\n";
    text += bindings;
    text += "}\n";
    return text;
}

class RiffHistoryNavigation : public ::testing::Test {
protected:
    void Load(const std::string& bindingsText)
    {
        LoadText(root, Config(bindingsText));
        keyboard.LoadLayout(&root);
        bindings.SetMode(root.GetContextByID("mode[#]", "m"));
        bindings.Build(0);
    }

    TDVContext root;
    OnScreenKeyboard keyboard;
    KeyBindings bindings{keyboard};
};

using Choice = KeyBindings::TRiffChoice;

const char* const kThreeSets = R"(	toggle[INITIAL_].bind[A]="a"
	toggle[INITIAL_].bind[B]="b"
	toggle[INITIAL_].bind[C]="c"
	toggle[SHIFT_].bind[D]="d"
	toggle[SHIFT_].bind[E]=""
	toggle[ALT_].bind[F]="f"
	toggle[ALT_].bind[G]="g"
)";

TEST_F(RiffHistoryNavigation, NextMovesToTheNextKeyOfTheSet)
{
    Load(kThreeSets);
    EXPECT_EQ(bindings.NeighbourRiff(+1, "b", 0), (Choice{"c", 0}));
    EXPECT_EQ(bindings.NeighbourRiff(-1, "b", 0), (Choice{"a", 0}));
}

TEST_F(RiffHistoryNavigation, NextWalksTheSetsInOrderAndWraps)
{
    Load(kThreeSets);
    EXPECT_EQ(bindings.NeighbourRiff(+1, "c", 0), (Choice{"d", ssShift}));
    EXPECT_EQ(keyboard.State("SHIFT"), "pressed");
    EXPECT_EQ(bindings.NeighbourRiff(+1, "d", ssShift), (Choice{"f", ssAlt})) << "an unbound next key ends the set";
    EXPECT_EQ(bindings.NeighbourRiff(+1, "g", ssAlt), (Choice{"a", 0}));
    EXPECT_EQ(bindings.ActiveSetName(), "INITIAL_");
}

TEST_F(RiffHistoryNavigation, PrevFromTheFirstInitialKeyGoesToTheLastRiffOfTheAltSet)
{
    Load(kThreeSets);
    EXPECT_EQ(bindings.NeighbourRiff(-1, "a", 0), (Choice{"g", ssAlt}));
    EXPECT_EQ(keyboard.State("ALT"), "pressed");
    EXPECT_EQ(keyboard.State("SHIFT"), "initial");
}

TEST_F(RiffHistoryNavigation, WithoutACurrentRiffTheFirstKeysRiffIsChosen)
{
    Load(kThreeSets);
    EXPECT_EQ(bindings.NeighbourRiff(+1, "", 0), (Choice{"a", 0}));
    EXPECT_EQ(bindings.NeighbourRiff(-1, "", 0), (Choice{"a", 0}));
}

TEST_F(RiffHistoryNavigation, RiffFromAnotherSetIsSearchedInItsOwnSet)
{
    Load(kThreeSets);
    EXPECT_EQ(bindings.NeighbourRiff(-1, "g", ssAlt), (Choice{"f", ssAlt}));
}

TEST_F(RiffHistoryNavigation, SetWithoutRiffsIsPassedOver)
{
    Load(R"(	toggle[INITIAL_].bind[A]="a"
	toggle[SHIFT_].bind[B]=""
	toggle[ALT_].bind[F]="f"
)");
    EXPECT_EQ(bindings.NeighbourRiff(+1, "a", 0), (Choice{"f", ssAlt}));
}

TEST_F(RiffHistoryNavigation, NoRiffInAnySetEndsWithoutSelecting)
{
    Load(R"(	toggle[INITIAL_].bind[A]=""
	toggle[SHIFT_].bind[B]=""
	toggle[ALT_].bind[F]=""
)");
    EXPECT_EQ(bindings.NeighbourRiff(+1, "", 0), std::nullopt);
    EXPECT_EQ(bindings.NeighbourRiff(-1, "gone", 0), std::nullopt);
    EXPECT_EQ(bindings.ActiveSetName(), "INITIAL_") << "three steps lead back to the starting set";
}

TEST_F(RiffHistoryNavigation, NothingWithoutBoundKeys)
{
    Load("");
    EXPECT_EQ(bindings.NeighbourRiff(+1, "a", 0), std::nullopt);
}

} // namespace
