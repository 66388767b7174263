// The riff list on the generated demo content: the rows the main window collects, filtering,
// sorting, playing, and what OK and Cancel leave behind; plus a screenshot of the open dialog on a
// real X display.
#include "app/KorvaneFormTestContent.h"

#include "app/dialogs/TBusyFrm.h"
#include "app/dialogs/TDrawGrid.h"
#include "app/dialogs/TRiffListDlg.h"
#include "config/TDVContext.h"
#include "controls/THVPanel.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QTimer>
#include <QWheelEvent>

#include <array>
#include <climits>
#include <cstdlib>
#include <set>

namespace {

namespace fs = std::filesystem;
using korvane_test::SendKey;

std::vector<std::string> Riffs(const std::vector<RiffInfo*>& rows)
{
    std::vector<std::string> ids;
    for (const RiffInfo* row : rows)
        ids.push_back(row->riff);
    return ids;
}

// Runs the main window's riff list command; act runs once the dialog shows, and the dialog is
// cancelled afterwards unless act closed it. Returns whether the dialog showed.
bool OpenList(TKorvaneForm& form, TRiffListDlg& dialog, const std::function<void(TRiffListDlg&)>& act)
{
    bool shown = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (shown || !dialog.isVisible())
            return;
        shown = true;
        poll.stop();
        act(dialog);
        if (dialog.isVisible())
            dialog.reject();
    });
    poll.start();
    form.RiffListButtonClick(nullptr);
    return shown;
}

class RiffList : public ::testing::Test {
protected:
    void SetUp() override
    {
        demo = fs::canonical("/proc/self/exe").parent_path().parent_path() / "demo";
        if (!fs::exists(demo / "Korvane.DEF"))
            GTEST_SKIP() << "the build wrote no demo content at " << demo;
        EnsureApplication();
        ui = std::make_unique<CapturedUi>();
        korvane_test::ResetSound();
        busy = std::make_unique<TBusyFrm>();
        _BusyFrm = busy.get();
        dialog = std::make_unique<TRiffListDlg>();
        _RiffListDlg = dialog.get();
        form = std::make_unique<TKorvaneForm>(nullptr, demo.string() + "/");
        form->InitApplication();
        ASSERT_TRUE(ui->boxes.empty()) << ui->boxes.front().text;
    }
    void TearDown() override
    {
        form.reset();
        _RiffListDlg = nullptr;
        _BusyFrm = nullptr;
        dialog.reset();
        busy.reset();
        korvane_test::ResetSound();
        ui.reset();
    }

    bool Open(const std::function<void(TRiffListDlg&)>& act) { return OpenList(*form, *dialog, act); }
    [[nodiscard]] std::string CurrentRiff() { return form->CurrentRecord()->riffName; }
    [[nodiscard]] int StoredWidth(int column)
    {
        return form->Root()->GetIntegerAt("settings.RiffListColumnWidths[#]", column + 1);
    }
    // Makes the first shown row of riff the grid's row.
    static void SelectRow(TRiffListDlg& d, const std::string& riff)
    {
        const auto ids = Riffs(d.ShownRows());
        const auto at = std::find(ids.begin(), ids.end(), riff);
        ASSERT_NE(at, ids.end()) << riff;
        d.Grid->SetRow(int(at - ids.begin()) + 1);
    }

    fs::path demo;
    std::unique_ptr<CapturedUi> ui;
    std::unique_ptr<TBusyFrm> busy;
    std::unique_ptr<TRiffListDlg> dialog;
    std::unique_ptr<TKorvaneForm> form;
};

TEST_F(RiffList, RowsMergeTheKeysOfARiffAndKeepTheSetOfItsFirstKey)
{
    std::vector<std::string> order;
    std::map<std::string, RiffInfo> rows;
    ASSERT_TRUE(Open([&](TRiffListDlg& d) {
        for (const RiffInfo& row : d.Rows()) {
            order.push_back(row.riff);
            rows[row.riff] = row;
        }
        EXPECT_EQ(d.ShownRows().size(), d.Rows().size());
        EXPECT_EQ(d.Grid->RowCount(), int(d.Rows().size()) + 1);
    }));
    // The plain set's keys first, then those of the Alt set, then those of the Shift set.
    EXPECT_EQ(order, (std::vector<std::string>{"BoxLick", "Turnaround", "Boogie", "Answer", "Shuffle", "Chorus",
                                                "DoubleStops", "Climb", "Stinger", "Hybrid", "Intro", "Ending",
                                                "Run", "OctaveBass"}));
    struct Expected {
        const char* riff;
        const char* hotKey;
        TShiftState set;
        bool thumbnail;
    };
    const Expected table[] = {
        {"BoxLick", "Q\nALT+Q", 0, true},  {"Chorus", "Y", 0, true},        {"Stinger", "ALT+A", ssAlt, false},
        {"Hybrid", "ALT+S", ssAlt, true},  {"Intro", "SHIFT+A", ssShift, true},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.riff);
        const RiffInfo& row = rows[e.riff];
        EXPECT_EQ(row.HotKey, e.hotKey);
        EXPECT_EQ(row.set, e.set);
        ASSERT_EQ(row.thumbnail != nullptr, e.thumbnail);
        if (row.thumbnail) {
            EXPECT_EQ(row.thumbnail->Width(), 250);
        }
    }
    const RiffInfo& box = rows["BoxLick"];
    EXPECT_EQ((std::vector<std::string>{box.info1, box.info2, box.info3, box.info4}),
              (std::vector<std::string>{"Box lick", "Down the pentatonic box", "Easy", "1"}));
    EXPECT_TRUE(dialog->Rows().empty()) << "the rows live only while the list is open";
}

TEST_F(RiffList, FiltersOnEachColumnAndKeepsOneEmptyRowWhenNothingMatches)
{
    struct Case {
        int column;
        const char* text;
        std::vector<std::string> shown;  // in the order of the "Riff" column
    };
    const std::vector<Case> cases = {
        {0, "lick", {"BoxLick"}},
        {1, "alt+", {"BoxLick", "Stinger", "Hybrid"}},
        {2, "box", {"BoxLick", "Run", "Hybrid"}},
        {3, "EXPERT", {"Run", "Hybrid"}},
        {4, "12", {"Chorus"}},
        {0, "no such riff", {}},
    };
    ASSERT_TRUE(Open([&](TRiffListDlg& d) {
        const std::size_t all = d.Rows().size();
        for (const Case& c : cases) {
            SCOPED_TRACE(c.text);
            d.ColumnCombo->setCurrentIndex(c.column);
            d.ContainsEdit->setText(c.text);
            d.ApplyFilterButtonClick();
            EXPECT_EQ(d.FilterColumn(), c.column);
            EXPECT_EQ(Riffs(d.ShownRows()), c.shown);
            EXPECT_EQ(d.Grid->RowCount(), int(std::max<std::size_t>(c.shown.size(), 1)) + 1);
        }
        // The one empty row shows nothing and plays nothing.
        EXPECT_EQ(d.CellText(0, 1), "");
        const int beeps = ui->beeps;
        d.PlayButtonClick();
        EXPECT_EQ(ui->beeps, beeps + 1);
        d.RemoveFilterButtonClick();
        EXPECT_EQ(d.ShownRows().size(), all);
        d.ContainsEdit->clear();
        d.ApplyFilterButtonClick();
        EXPECT_EQ(ui->beeps, beeps + 2) << "an empty filter text";
        EXPECT_EQ(d.ShownRows().size(), all);
    }));
}

TEST_F(RiffList, TitlesSortBothWaysAndTranscriptionNever)
{
    ASSERT_TRUE(Open([&](TRiffListDlg& d) {
        auto sortedBy = [&d](int column, bool ascending) {
            const auto& rows = d.ShownRows();
            for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
                const int c = TRiffListDlg::CompareRows(*rows[i], *rows[i + 1], column);
                if (ascending ? c > 0 : c < 0)
                    return false;
            }
            return true;
        };
        auto click = [&d](int column) {
            d.GridMouseMove(column, 0);
            d.GridMouseDown(column, 0);
        };
        bool ascending = d.Ascending();
        for (int column = 0; column < 5; ++column) {
            SCOPED_TRACE(column);
            if (column == d.SortColumn())
                ascending = !ascending;
            click(column);  // a new column keeps the direction
            EXPECT_EQ(d.SortColumn(), column);
            EXPECT_EQ(d.Ascending(), ascending);
            EXPECT_TRUE(sortedBy(column, ascending));
            click(column);  // the sort column again turns it round
            ascending = !ascending;
            EXPECT_EQ(d.Ascending(), ascending);
            EXPECT_TRUE(sortedBy(column, ascending));
        }
        // "Bars" as numbers: "12" after "8", not between "1" and "2".
        const std::string last = d.ShownRows().back()->info4;
        const std::string first = d.ShownRows().front()->info4;
        EXPECT_EQ(ascending ? last : first, "12");
        EXPECT_EQ(ascending ? first : last, "1");

        d.GridMouseMove(5, 0);
        EXPECT_EQ(d.Grid->TitleCursor(), Qt::ArrowCursor);
        d.GridMouseDown(5, 0);
        EXPECT_EQ(d.SortColumn(), 4);

        // The same through the title row's own mouse events.
        QHeaderView* header = d.Grid->horizontalHeader();
        const QPointF at(header->sectionViewportPosition(2) + header->sectionSize(2) / 2.0, 8);
        QMouseEvent move(QEvent::MouseMove, at, header->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(header->viewport(), &move);
        EXPECT_EQ(d.Grid->TitleCursor(), Qt::PointingHandCursor);
        QMouseEvent press(QEvent::MouseButtonPress, at, header->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(header->viewport(), &press);
        EXPECT_EQ(d.SortColumn(), 2);
        d.GridMouseMove(1, 1);
        EXPECT_EQ(d.Grid->TitleCursor(), Qt::ArrowCursor) << "data rows show the default cursor";

        // One wheel step moves the list by one row, over the rows or anywhere else in the dialog.
        auto wheel = [](QWidget* target, int delta) {
            QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(target, &event);
        };
        d.Grid->SetTopRow(1);
        wheel(d.Grid->viewport(), -120);
        EXPECT_EQ(d.Grid->TopRow(), 2);
        wheel(d.ContainsEdit, -120);
        EXPECT_EQ(d.Grid->TopRow(), 3);
        wheel(d.Grid->viewport(), 120);
        EXPECT_EQ(d.Grid->TopRow(), 2);
    }));
}

TEST(RiffListHints, KeepTheProgramsHintPause)
{
    using korvane_test::PumpFor;
    const auto hover = korvane_test::MovePointer;
    using korvane_test::PumpUntil;
    EnsureApplication();
    const int pause = Application().HintPause();
    TRiffListDlg dialog;
    dialog.OkButton->setToolTip("Keep this riff");
    dialog.FilterGroup->setToolTip("Filter the rows");
    dialog.show();
    PumpFor(50);
    const auto visible = [] { return QToolTip::isVisible(); };

    // Hints off: neither the pointer resting nor the toolkit's own hint request shows one.
    Application().SetHintPause(65000);
    hover(dialog.CancelButton, dialog.OkButton);
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), dialog.OkButton->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(dialog.OkButton, &help);
    EXPECT_FALSE(PumpUntil(visible, 800));

    // Hints on: after the pause; a widget without a hint of its own shows its parent's.
    Application().SetHintPause(300);
    hover(dialog.OkButton, dialog.CancelButton);
    hover(dialog.CancelButton, dialog.FilterGroup);
    hover(dialog.FilterGroup, dialog.ContainsEdit);
    const auto rested = std::chrono::steady_clock::now();
    PumpFor(100);
    // Only while the pause has surely not passed (a loaded machine may take longer over this).
    if (std::chrono::steady_clock::now() - rested < std::chrono::milliseconds(250))
    {
        EXPECT_FALSE(visible()) << "the hint waits for its pause";
    }
    ASSERT_TRUE(PumpUntil(visible, kEventDeadlineMs));
    EXPECT_EQ(QToolTip::text(), "Filter the rows");
    QToolTip::hideText();
    PumpUntil([] { return !QToolTip::isVisible(); }, 1000);
    Application().SetHintPause(pause);
}

TEST(RiffListRows, BarsCompareAsIntegersWithoutOverflow)
{
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"10", "9", 1},   {"9", "10", -1},          {"7", " 7", 0},
        {"x", "0", 0},    {"2147483647", "-2147483648", 1},
        {"-2147483648", "2147483647", -1},          {"99999999999", "0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        RiffInfo a, b;
        a.info4 = c.a;
        b.info4 = c.b;
        const int result = TRiffListDlg::CompareRows(a, b, 4);
        EXPECT_EQ((result > 0) - (result < 0), c.sign);
    }
    RiffInfo a, b;
    a.info1 = "Zed";
    b.info1 = "Abel";
    EXPECT_GT(TRiffListDlg::CompareRows(a, b, 0), 0);
    EXPECT_EQ(TRiffListDlg::CompareRows(a, b, 5), 0) << "the transcription column never orders";
}

// Each sortable column orders the shown rows as written out by hand, both ways; the rows are
// added in an order none of the columns gives, so a column that never orders shows up.
TEST(RiffListRows, EachTitleSortsTheShownRowsBothWays)
{
    EnsureApplication();
    TRiffListDlg d;
    const std::array<std::array<const char*, 5>, 5> rows = {{
        // "Riff", "HotKey", "Description", "Difficulty", "Bars"
        {"Delta", "W", "Bends", "Hard", "+5"},
        {"Alpha", "SHIFT+Q", "Riff runs", "Easy", "12"},
        {"Echo", "ALT+A", "Double stops", "Medium", "2"},
        {"Charlie", "Q\nALT+Q", "Arpeggio", "Expert", "1"},
        {"Bravo", "E", "Chords", "Beginner", "10"},
    }};
    for (const auto& texts : rows) {
        RiffInfo& row = d.Rows().emplace_back();
        row.riff = row.info1 = texts[0];
        row.HotKey = texts[1];
        row.info2 = texts[2];
        row.info3 = texts[3];
        row.info4 = texts[4];
    }
    using Order = std::vector<std::string>;
    const std::array<Order, 5> ascending = {{
        {"Alpha", "Bravo", "Charlie", "Delta", "Echo"},
        {"Echo", "Bravo", "Charlie", "Alpha", "Delta"},
        {"Charlie", "Delta", "Bravo", "Echo", "Alpha"},
        {"Bravo", "Alpha", "Charlie", "Delta", "Echo"},
        {"Charlie", "Echo", "Delta", "Bravo", "Alpha"},  // 1, 2, +5, 10, 12
    }};
    auto shown = [&d] {
        Order names;
        for (int row = 1; row <= int(d.Rows().size()); ++row)
            names.push_back(d.CellText(0, row));
        return names;
    };
    for (int column = 0; column < 5; ++column) {
        SCOPED_TRACE(d.ColumnTitles()[std::size_t(column)]);
        do {
            d.GridMouseMove(column, 0);
            d.GridMouseDown(column, 0);
        } while (!d.Ascending());
        EXPECT_EQ(shown(), ascending[std::size_t(column)]);
        d.GridMouseDown(column, 0);
        ASSERT_FALSE(d.Ascending());
        EXPECT_EQ(shown(), Order(ascending[std::size_t(column)].rbegin(), ascending[std::size_t(column)].rend()));
    }
}

TEST_F(RiffList, OkMakesThePlayedRiffCurrentWithItsSetAndStoresTheWidths)
{
    form->PlayButtonClick(form->PlayButton);
    ASSERT_TRUE(WaveScene.IsInstancePlaying("groove"));
    ASSERT_NE(CurrentRiff(), "Stinger");
    ASSERT_TRUE(Open([&](TRiffListDlg& d) {
        EXPECT_FALSE(WaveScene.IsInstancePlaying("groove")) << "the rhythm section rests";
        SelectRow(d, "Stinger");
        d.PlayButtonClick();
        EXPECT_TRUE(WaveScene.IsInstancePlaying("Stinger"));
        d.PlayButtonClick();
        EXPECT_FALSE(WaveScene.IsInstancePlaying("Stinger")) << "a second press stops it";
        d.Grid->SetColWidth(3, 133);
        d.OkButtonClick();
    }));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(CurrentRiff(), "Stinger");
    EXPECT_EQ(form->CurrentRecord()->bindingSet, TShiftState(ssAlt));
    EXPECT_TRUE(form->Keyboard().IsPressed("ALT"));
    EXPECT_EQ(form->Bindings().ActiveSetName(), "ALT_");
    EXPECT_EQ(form->RiffLastShown(), "Stinger");
    EXPECT_EQ(StoredWidth(3), 133);
    EXPECT_TRUE(WaveScene.IsInstancePlaying("groove")) << "the rhythm section goes on";
    EXPECT_TRUE(form->Recording());
    EXPECT_FALSE(WaveScene.IsInstancePlaying("Stinger"));
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(RiffList, CancelKeepsTheCurrentRiffTheWidthsAndThePauseAfterAnotherRowPlayed)
{
    const std::string current = CurrentRiff();
    const int width = StoredWidth(2);
    form->PlayButtonClick(form->PlayButton);
    form->PauseButtonClick(form->PauseButton);
    ASSERT_TRUE(form->IsPaused());
    ASSERT_TRUE(Open([&](TRiffListDlg& d) {
        EXPECT_EQ(WaveScene.GetState(), 1) << "the list is heard while the game pauses";
        EXPECT_EQ(d.ShownRows()[std::size_t(d.Grid->Row() - 1)]->riff, current) << "the current riff is selected";
        SelectRow(d, current == "Chorus" ? "Run" : "Chorus");
        EXPECT_TRUE(d.FormKeyDown(Qt::Key_Space, Qt::NoModifier));
        EXPECT_NE(d.SelectedRiff, current);
        d.Grid->SetColWidth(2, width + 40);
        EXPECT_TRUE(d.FormKeyDown(Qt::Key_Escape, Qt::NoModifier));
    }));
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(CurrentRiff(), current);
    EXPECT_EQ(StoredWidth(2), width);
    EXPECT_FALSE(WaveScene.IsInstancePlaying("Chorus"));
    EXPECT_TRUE(WaveScene.IsInstancePlaying("groove"));
    EXPECT_EQ(WaveScene.GetState(), 2) << "the game is still paused";
    EXPECT_TRUE(form->IsPaused());
}

TEST_F(RiffList, OpeningWhileARiffSoundsLeavesNoRiffSoundingAndNoKeyHeld)
{
    form->PlayButtonClick(form->PlayButton);
    struct Case {
        const char* what;
        std::function<void(TKorvaneForm&)> start;
    };
    const std::vector<Case> cases = {
        {"a held key", [](TKorvaneForm& f) { SendKey(&f, true, Qt::Key_R); }},
        {"a latched key",
         [](TKorvaneForm& f) {
             SendKey(&f, true, Qt::Key_R);
             f.LatchSoundingKey();
             SendKey(&f, false, Qt::Key_R);
         }},
        {"a clip", [](TKorvaneForm& f) { f.PlayClipButtonClick(f.PlayClipButton); }},
        {"Shift held with a riff key",
         [](TKorvaneForm& f) {
             SendKey(&f, true, Qt::Key_Shift, Qt::ShiftModifier);
             SendKey(&f, true, Qt::Key_A, Qt::ShiftModifier);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.start(*form);
        const std::string riff = form->SoundingRiff();
        ASSERT_FALSE(riff.empty());
        ASSERT_TRUE(Open([&](TRiffListDlg& d) {
            EXPECT_TRUE(form->SoundingRiff().empty());
            EXPECT_FALSE(WaveScene.IsInstancePlaying(riff));
            // The whole riff plays here, not the clip it played last.
            SelectRow(d, riff);
            d.PlayButtonClick();
            EXPECT_EQ(WaveScene.GetInstanceLengthMs(riff, true), WaveScene.GetInstanceLengthMs(riff, false));
        }));
        EXPECT_EQ(form->Bindings().ActiveSetName(), "INITIAL_") << "no modifier is held any more";
        EXPECT_TRUE(form->SoundingRiff().empty());
        EXPECT_TRUE(form->Bindings().HeldKeys().empty());
        EXPECT_EQ(form->Bindings().SoundingKey(), "");
        EXPECT_EQ(form->Bindings().LatchedKey(), "");
        EXPECT_LT(form->Clips().Current(), 0);
        for (const char* key : {"Q", "R", "Y", "A", "SHIFT"})
            EXPECT_EQ(form->Keyboard().State(key), "initial") << key;
        EXPECT_FALSE(WaveScene.IsInstancePlaying(riff));
        // The key road goes on as before.
        SendKey(form.get(), true, Qt::Key_R);
        EXPECT_EQ(form->SoundingRiff(), "Answer");
        SendKey(form.get(), false, Qt::Key_R);
        EXPECT_TRUE(form->Bindings().HeldKeys().empty());
        form->StopButtonClick(form->StopButton);
        form->PlayButtonClick(form->PlayButton);
    }
    EXPECT_TRUE(ui->boxes.empty());
}

class RiffListWithoutKeys : public korvane_test::FormTest {};

TEST_F(RiffListWithoutKeys, BeepsAndSaysSoWhenNoKeyIsBound)
{
    TRiffListDlg dialog;
    _RiffListDlg = &dialog;
    TKorvaneForm& f = Start();
    f.LoadGame(1, false);  // the rock mode binds no key
    ASSERT_EQ(f.Bindings().BoundNames().Count(), 0);
    f.PlayButtonClick(f.PlayButton);
    EXPECT_FALSE(OpenList(f, dialog, [](TRiffListDlg&) {}));
    _RiffListDlg = nullptr;
    EXPECT_EQ(ui->beeps, 1);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, "No riffs to show!");
    EXPECT_TRUE(WaveScene.IsInstancePlaying("groove")) << "nothing else changes";
}

// On a real display: the open dialog with its thumbnails, kept in the test output.
TEST_F(RiffList, ScreenshotOfTheOpenDialog)
{
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs an X display";
    form->show();
    ASSERT_TRUE(Open([&](TRiffListDlg& d) {
        korvane_test::PumpFor(600);
        const QImage shot = QGuiApplication::primaryScreen()->grabWindow(d.winId()).toImage();
        if (const char* dir = std::getenv("RT_TEST_OUTPUT_DIR"))
            shot.save(QString::fromLocal8Bit(dir) + "/riff-list.png");
        ASSERT_FALSE(shot.isNull());
        // The first row's thumbnail: the transcription page's dark lines on its light paper.
        const QPoint cell = d.Grid->viewport()->mapTo(&d, QPoint(d.Grid->columnViewportPosition(5) + 2, 2));
        std::set<QRgb> colours;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 200; ++x)
                colours.insert(shot.pixel(cell.x() + x, cell.y() + y) & 0xFFFFFF);
        EXPECT_GT(colours.size(), 8u) << "a picture, not a plain fill";
    }));
}

}  // namespace
