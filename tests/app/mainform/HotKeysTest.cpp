// The hot keys: every cell of the table under every combination of held modifiers, and on a main
// window over test content the held-key rules, the slider steps, the play-while-held riff, the
// close and play keys; the print command's three outcomes.
#include "app/KorvaneFormTestContent.h"
#include "app/FakePrintSpooler.h"

#include "app/keyboard/HotKeyTable.h"
#include "app/dialogs/TPrintForm.h"
#include "app/video/TVideoTutorialForm.h"
#include "config/TDVContext.h"
#include "controls/THVPanel.h"
#include "controls/THVSlider.h"
#include "platform/system/ShellExecute.h"
#include "platform/ui/ControlsInternal.h"
#include "platform/ui/VirtualKeys.h"
#include "sound/TWaveScene.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>
#include <fstream>

#include <xcb/xcb.h>

namespace {

using C = THotKeyCommand;
using korvane_test::FormTest;
using korvane_test::PumpFor;
using korvane_test::PumpUntil;
using korvane_test::SendKey;

THotKeyCell F(C c) { return {c, true, 0}; }
THotKeyCell N(C c) { return {c, false, 0}; }

struct ExpectedRow {
    std::uint16_t key;
    THotKeyCell plain, shift, alt, ctrl;
};

// Written from the user's side of the table: the command each key reaches per held modifier.
const ExpectedRow kExpected[] = {
    {27, F(C::Stop), F(C::Stop), F(C::Stop), F(C::Stop)},
    {106, N(C::NextPage), N(C::NextPage), N(C::NextPage), N(C::NextPage)},
    {107, N(C::NextRiff), N(C::NextRiff), N(C::NextRiff), N(C::NextRiff)},
    {109, N(C::PrevRiff), N(C::PrevRiff), N(C::PrevRiff), N(C::PrevRiff)},
    {111, N(C::PrevPage), N(C::PrevPage), N(C::PrevPage), N(C::PrevPage)},
    {112, F(C::Help), F(C::TutorialVideos), F(C::Help), F(C::Help)},
    {113, F(C::Stop), N(C::RiffList), F(C::Stop), F(C::Stop)},
    {114, F(C::Pause), N(C::HalfSpeed), F(C::Pause), F(C::Pause)},
    {115, F(C::Play), F(C::Play), N(C::CloseWindow), F(C::Play)},
    {116, N(C::Latch), N(C::HistoryPrevRiff), N(C::Latch), N(C::Latch)},
    {117, F(C::RiffVideo), N(C::HistoryNextRiff), F(C::RiffVideo), F(C::RiffVideo)},
    {118, F(C::CreateWave), F(C::Settings), F(C::CreateWave), F(C::CreateWave)},
    {119, F(C::Print), F(C::HalfSpeed), F(C::Print), F(C::Print)},
    {120, F(C::PlayRiff), {C::RhythmSlider, false, +1}, F(C::PlayRiffWhileHeld), F(C::PlayRiff)},
    {121, F(C::PrevClip), {C::RhythmSlider, false, -1}, {C::StepSetting, false, 1}, {C::StepSetting, false, -1}},
    {122, F(C::PlayClip), {C::SoloSlider, false, +1}, {C::StepSetting, false, 2}, {C::StepSetting, false, 0}},
    {123, F(C::NextClip), {C::SoloSlider, false, -1}, {C::StepSetting, false, 3}, F(C::NextClip)},
};

TEST(HotKeyTable, EveryKeyUnderEveryHeldModifierReachesItsCell)
{
    for (const ExpectedRow& row : kExpected)
        for (unsigned held = 0; held < 8; ++held) {
            const TShiftState shift = ((held & 1) ? TShiftState(ssShift) : 0) | ((held & 2) ? TShiftState(ssAlt) : 0) |
                                      ((held & 4) ? TShiftState(ssCtrl) : 0);
            // Shift is tried first, then Alt, then Ctrl; every row fills every column.
            const THotKeyCell& want = (held & 1) ? row.shift : (held & 2) ? row.alt : (held & 4) ? row.ctrl : row.plain;
            SCOPED_TRACE("key " + std::to_string(row.key) + " held " + std::to_string(held));
            EXPECT_EQ(HotKeyTable::Lookup(row.key, shift), want);
            // Space does what F9 does, under every modifier.
            if (row.key == 120) {
                EXPECT_EQ(HotKeyTable::Lookup(VK_SPACE, shift), want);
            }
            // Mouse buttons held with the key change nothing.
            EXPECT_EQ(HotKeyTable::Lookup(row.key, shift | ssLeft), want);
        }
    EXPECT_EQ(HotKeyTable::Lookup(VK_F1, ssShift | ssAlt), F(C::TutorialVideos)) << "Shift+Alt+F1";
    for (std::uint16_t other : {std::uint16_t('A'), VK_RETURN, VK_TAB, std::uint16_t(VK_F1 + 12), VK_NUMPAD0, VK_SHIFT})
        for (TShiftState shift : {0u, unsigned(ssShift), unsigned(ssAlt | ssCtrl)})
            EXPECT_EQ(HotKeyTable::Lookup(other, shift).command, C::None) << other;
    EXPECT_TRUE(HotKeyTable::RepeatsWhileHeld(HotKeyTable::Lookup(VK_F1 + 8, ssShift)));
    EXPECT_FALSE(HotKeyTable::RepeatsWhileHeld(HotKeyTable::Lookup(VK_F1 + 8, 0)));
}

class HotKeys : public FormTest {
protected:
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool repeat = false)
    {
        SendKey(form.get(), true, key, modifiers, repeat);
    }
    void Release(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        SendKey(form.get(), false, key, modifiers);
    }
    static bool GroovePlays() { return WaveScene.IsInstancePlaying("groove"); }
};

TEST_F(HotKeys, HeldStopKeyStopsOnceUntilAnyKeyGoesUp)
{
    TKorvaneForm& f = Start();
    f.PlayButtonClick(f.GlobalPanel);
    ASSERT_TRUE(GroovePlays());
    Press(Qt::Key_F2);
    EXPECT_FALSE(GroovePlays());
    f.PlayButtonClick(f.GlobalPanel);
    Press(Qt::Key_F2, Qt::NoModifier, true);
    EXPECT_TRUE(GroovePlays()) << "an auto-repeat of a handled hot key does nothing";
    Release(Qt::Key_Q);  // any key-up
    Press(Qt::Key_F2, Qt::NoModifier, true);
    EXPECT_FALSE(GroovePlays());
    // A window that took the key-up (a dialog the key opened) leaves no key held.
    f.PlayButtonClick(f.GlobalPanel);
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(&f, &deactivate);
    Press(Qt::Key_Escape, Qt::NoModifier, true);
    EXPECT_FALSE(GroovePlays());
}

TEST_F(HotKeys, HeldSliderKeysStepEveryRepeatAndStepSettingsAreStored)
{
    TKorvaneForm& f = Start();
    const int max = f.MelodyVolume->MaxPosition();
    int expected = f.MelodyVolume->Position();
    for (int i = 0; i < 3; ++i) {
        Press(Qt::Key_F9, Qt::ShiftModifier, i > 0);
        expected = std::min(max, int(expected + max * 0.1));
        EXPECT_EQ(f.MelodyVolume->Position(), expected) << "repeat " << i;
    }
    EXPECT_FLOAT_EQ(f.Root()->GetFloat("settings.groove_volume"), 1.0f - float(expected) / float(max));
    const int solo = f.RiffVolume->Position();
    Press(Qt::Key_Space, Qt::ShiftModifier);  // as Shift+F9
    EXPECT_EQ(f.RiffVolume->Position(), solo);
    Press(Qt::Key_F12, Qt::ShiftModifier);
    EXPECT_EQ(f.RiffVolume->Position(), std::max(0, int(solo - f.RiffVolume->MaxPosition() * 0.1)));

    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int stored;
    } steps[] = {{Qt::Key_F10, Qt::ControlModifier, 0}, {Qt::Key_F11, Qt::ControlModifier, 1},
                 {Qt::Key_F10, Qt::AltModifier, 2},     {Qt::Key_F11, Qt::AltModifier, 3},
                 {Qt::Key_F12, Qt::AltModifier, 4}};
    for (const auto& s : steps) {
        Press(s.key, s.modifiers);
        Release(s.key, s.modifiers);
        EXPECT_EQ(f.Root()->GetInteger("settings.StepAdvanceThroughClipsBy"), s.stored);
    }
}

// A command given with a modifier key down leaves the modifier to its own key-up: the on-screen
// modifier shows it while it is down and goes off with its release, and the plain set is back.
TEST_F(HotKeys, PlayKeysStartTheGameAndAltF4ClosesTheWindow)
{
    TKorvaneForm& f = Start();
    const int playClicked = 0;
    const struct {
        const char* command;
        int modifierKey;
        Qt::KeyboardModifiers held;
        const char* onScreen;
        int key;  // or playClicked: Play clicked with the mouse
        bool plays;
    } commands[] = {
        {"Shift+F4", Qt::Key_Shift, Qt::ShiftModifier, "SHIFT", Qt::Key_F4, true},
        {"Ctrl+F4", Qt::Key_Control, Qt::ControlModifier, "CTRL", Qt::Key_F4, true},
        {"Play clicked with Shift", Qt::Key_Shift, Qt::ShiftModifier, "SHIFT", playClicked, true},
        // The latch with no riff sounding.
        {"Ctrl+F5", Qt::Key_Control, Qt::ControlModifier, "CTRL", Qt::Key_F5, false},
        {"Alt+F5", Qt::Key_Alt, Qt::AltModifier, "ALT", Qt::Key_F5, false},
    };
    QWidget* play = WidgetOf(f.PlayButton);
    const auto click = [play](QEvent::Type type, Qt::MouseButtons buttons) {
        const QPointF centre(play->width() / 2, play->height() / 2);
        QMouseEvent event(type, centre, play->mapToGlobal(centre), Qt::LeftButton, buttons, Qt::ShiftModifier);
        QCoreApplication::sendEvent(play, &event);
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.command);
        f.StopButtonClick(f.GlobalPanel);
        ASSERT_FALSE(GroovePlays());
        Press(c.modifierKey, c.held);
        if (c.key == playClicked) {
            click(QEvent::MouseButtonPress, Qt::LeftButton);
            click(QEvent::MouseButtonRelease, Qt::NoButton);
        } else {
            Press(c.key, c.held);
            Release(c.key, c.held);
        }
        EXPECT_EQ(GroovePlays(), c.plays);
        EXPECT_EQ(f.Bindings().LatchedKey(), "");
        EXPECT_EQ(f.Keyboard().State(c.onScreen), "pressed") << "still down";
        Release(c.modifierKey);
        EXPECT_EQ(f.Keyboard().State(c.onScreen), "initial");
        EXPECT_EQ(f.Bindings().ActiveSetName(), "INITIAL_");
        Press(Qt::Key_W);
        EXPECT_EQ(f.SoundingRiff(), "b1");
        Release(Qt::Key_W);
    }
    f.show();
    ASSERT_TRUE(f.isVisible());
    Press(Qt::Key_F4, Qt::AltModifier);
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(content.Exists("Korvane.INI")) << "closing stored the settings";
}

TEST_F(HotKeys, AltF9PlaysTheCurrentRiffWhileHeldAndTheLatchKeepsAKeysRiff)
{
    TKorvaneForm& f = Start();
    const RiffStruct* record = f.CurrentRecord();
    ASSERT_TRUE(record != nullptr && !record->riffName.empty());
    const std::string riff = record->riffName;
    Press(Qt::Key_F9, Qt::AltModifier);
    EXPECT_TRUE(WaveScene.IsInstancePlaying(riff));
    EXPECT_EQ(f.PlayRiffButton->Tag(), 2);
    Press(Qt::Key_F9, Qt::AltModifier, true);
    Release(Qt::Key_F9, Qt::AltModifier);
    EXPECT_EQ(f.PlayRiffButton->Tag(), 0);
    EXPECT_TRUE(PumpUntil([&] { return !WaveScene.IsInstancePlaying(riff); }, kEventDeadlineMs))
        << "the key-up ends it";

    Press(Qt::Key_Q);
    ASSERT_EQ(f.SoundingRiff(), "b2");
    Press(Qt::Key_F5);
    Release(Qt::Key_F5);
    Release(Qt::Key_Q);
    PumpFor(100);
    EXPECT_TRUE(WaveScene.IsInstancePlaying("b2")) << "latched";
    Press(Qt::Key_W);
    EXPECT_EQ(f.SoundingRiff(), "b1");
}

TEST_F(HotKeys, ARiffPlayedWhileHeldEndsAtTheFirstKeyUpWithAltPressedAsAKey)
{
    TKorvaneForm& f = Start();
    const std::string riff = f.CurrentRecord()->riffName;
    // Alt goes down first and presses the on-screen ALT, which becomes the sounding key.
    for (int key : {int(Qt::Key_F9), int(Qt::Key_Space)})
        for (bool altUpFirst : {false, true}) {
            SCOPED_TRACE("key " + std::to_string(key) + (altUpFirst ? ", Alt up first" : ""));
            Press(Qt::Key_Alt, Qt::AltModifier);
            Press(key, Qt::AltModifier);
            ASSERT_TRUE(WaveScene.IsInstancePlaying(riff));
            Release(altUpFirst ? int(Qt::Key_Alt) : key, altUpFirst ? Qt::NoModifier : Qt::AltModifier);
            EXPECT_TRUE(PumpUntil([&] { return !WaveScene.IsInstancePlaying(riff); }, kEventDeadlineMs));
            Release(altUpFirst ? key : int(Qt::Key_Alt));
            EXPECT_EQ(f.PlayRiffButton->Tag(), 0);
        }
}

// Prints on the whole A4 page of the one printer of a fake server, which keeps the document.
class PdfPrintForm : public TPrintForm {
public:
    explicit PdfPrintForm(std::shared_ptr<FakePrintSpooler> fake = std::make_shared<FakePrintSpooler>())
        : TPrintForm(nullptr, fake), server(std::move(fake))
    {
        server->SetList({{"Pdf"}, "Pdf", {}});
    }
    void SetPdfFile(const std::string& file)
    {
        pdfFile = file;
        server->SetPdfFile(file);
    }
    std::shared_ptr<FakePrintSpooler> server;
    std::string pdfFile;

protected:
    void DirectPrinter(QPrinter& printer, const std::string&) override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setFullPage(true);
    }
};

class Printing : public HotKeys {
protected:
    void SetUp() override
    {
        HotKeys::SetUp();
        printForm = std::make_unique<PdfPrintForm>();
        printForm->SetPdfFile(content.Dir() + "printed.pdf");
        _PrintForm = printForm.get();
        openerBefore = SetFileOpener([this](const std::string& file) {
            opened.push_back(file);
            return openSucceeds;
        });
    }
    void TearDown() override
    {
        SetFileOpener(openerBefore);
        _PrintForm = nullptr;
        printForm.reset();
        HotKeys::TearDown();
    }
    // F8, and in the dialog the choice and Print.
    void PrintWith(QRadioButton* choice)
    {
        QTimer::singleShot(0, printForm.get(), [this, choice] {
            choice->setChecked(true);
            printForm->Button1->click();
        });
        Press(Qt::Key_F8);
        Release(Qt::Key_F8);
    }
    // The colour at the middle of the printed page, rendered by poppler.
    QRgb PrintedCentre()
    {
        const std::string prefix = content.Dir() + "page";
        std::remove((prefix + ".ppm").c_str());
        const std::string command =
            "pdftoppm -r 20 -singlefile '" + printForm->pdfFile + "' '" + prefix + "' 2>/dev/null";
        if (std::system(command.c_str()) != 0)
            return 0;
        const QImage page(QString::fromStdString(prefix + ".ppm"));
        return page.isNull() ? 0 : page.pixel(page.width() / 2, page.height() / 2) & 0xFFFFFF;
    }

    std::unique_ptr<PdfPrintForm> printForm;
    TFileOpener openerBefore;
    std::vector<std::string> opened;
    bool openSucceeds = true;
};

bool Near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 4 && std::abs(qGreen(a) - qGreen(b)) <= 4 && std::abs(qBlue(a) - qBlue(b)) <= 4;
}

TEST_F(Printing, LastRiffPrintsItsPageNamedAfterItAndAUVariantFallsBackToThePageWithoutTheU)
{
    // A riff "b3" whose prefix ends in "u"; its own page is there while the mode loads.
    content.Write("Korvane.DEF", korvane_test::DefaultsText("mode[blues].riff[b3] {\n\tfile_prefix=\"blues01u\"\n"
                                                           "\tstring title=\"Slow bend\"\n}\n"));
    korvane_test::WriteWav(content.path / "wavs" / "blues01u.wav", 1000);
    korvane_test::WriteMidi(content.path / "MIDI" / "blues01u.mid", korvane_test::RiffNotes());
    const QRgb own = qRgb(10, 200, 30);
    QImage page(40, 40, QImage::Format_RGB32);
    page.fill(own);
    ASSERT_TRUE(page.save(QString::fromStdString(Picture("blues01u.png"))));
    TKorvaneForm& f = Start();
    ASSERT_TRUE(ui->boxes.empty());
    f.SelectRiff("b3", 0);
    ASSERT_EQ(f.CurrentRecord()->riffName, "b3");

    PrintWith(printForm->PrintLast);
    EXPECT_TRUE(Near(PrintedCentre(), own)) << std::hex << PrintedCentre();
    ASSERT_EQ(printForm->server->Jobs().size(), 1u);
    EXPECT_EQ(printForm->server->Jobs()[0].title, "Korvane 2 Test - Slow bend");
    RemovePicture("blues01u.png");
    PrintWith(printForm->PrintLast);
    EXPECT_TRUE(Near(PrintedCentre(), korvane_test::SkinColor("blues01.png"))) << std::hex << PrintedCentre();
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_TRUE(opened.empty());
}

TEST_F(Printing, WithoutARiffSaysSoAndAllRiffsOpensTheModesDocument)
{
    TKorvaneForm& f = Start();
    f.CurrentRecord()->riffName.clear();
    PrintWith(printForm->PrintLast);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, "No riff selected");
    EXPECT_FALSE(std::filesystem::exists(printForm->pdfFile));

    // The document is named after the groove file "blues_groove.wav".
    const std::string document = content.Dir() + "Pics01/blues_groove.pdf";
    PrintWith(printForm->PrintAll);
    ASSERT_EQ(ui->boxes.size(), 2u);
    EXPECT_EQ(ui->boxes[1].text, "Cannot open " + document + "\nThe file does not exist.");
    EXPECT_TRUE(opened.empty());
    content.Write("Pics01/blues_groove.pdf", "%PDF-1.4\n");
    PrintWith(printForm->PrintAll);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], document);
    EXPECT_EQ(ui->boxes.size(), 2u);
    openSucceeds = false;
    PrintWith(printForm->PrintAll);
    ASSERT_EQ(ui->boxes.size(), 3u);
    EXPECT_EQ(ui->boxes[2].text, "Cannot open " + document + "\nThe desktop has no program for this kind of file.");
}

}  // namespace

namespace {

// The X server's word that the keyboard's focus came to the window, as the display connection
// hands it to the program.
void TellFocusIn(QWidget& window, std::uint8_t mode, std::uint8_t detail)
{
    xcb_focus_in_event_t event{};
    event.response_type = XCB_FOCUS_IN;
    event.detail = detail;
    event.event = xcb_window_t(window.winId());
    event.mode = mode;
    qintptr result = 0;
    (void)QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", &event, &result);
}

// Each hot key opens its window, which takes the key-ups and is closed as by its Cancel button:
// no key reaches the main window in between.
TEST_F(Printing, AfterAWindowClosesNoHotKeyIsHeldAndTheModifiersFollowTheKeyboard)
{
    TKorvaneForm& f = Start();
    TVideoTutorialForm tutorials;
    _VideoTutorialForm = &tutorials;
    int opened = 0;
    const auto modifierKey = [](Qt::KeyboardModifiers held) {
        return held == Qt::AltModifier ? Qt::Key_Alt : Qt::Key_Shift;
    };
    // Presses the key (with its modifier, Shift or Alt, pressed first when held); the window it
    // opens gets the key-ups of the key and, unless keepModifier, of the modifier.
    const auto openAndCancel = [&](int key, Qt::KeyboardModifiers held, bool keepModifier) {
        opened = 0;
        QTimer::singleShot(0, &f, [&, key, held, keepModifier] {
            auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (window == nullptr)
                return;
            ++opened;
            SendKey(window, false, key, held);
            if (held != Qt::NoModifier && !keepModifier)
                SendKey(window, false, modifierKey(held));
            window->reject();
        });
        if (held != Qt::NoModifier)
            Press(modifierKey(held), held);
        Press(key, held);
        PumpFor(30);
    };
    const struct {
        int key;
        Qt::KeyboardModifiers held;
    } keys[] = {{Qt::Key_F8, Qt::NoModifier}, {Qt::Key_F7, Qt::ShiftModifier}, {Qt::Key_F1, Qt::ShiftModifier}};
    for (const auto& k : keys)
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE("key " + std::to_string(k.key) + " round " + std::to_string(round));
            openAndCancel(k.key, k.held, false);
            EXPECT_EQ(opened, 1);
            EXPECT_EQ(f.Keyboard().State("SHIFT"), "initial");
            EXPECT_EQ(f.Bindings().ActiveSetName(), "INITIAL_");
        }
    Press(Qt::Key_Q);
    EXPECT_EQ(f.SoundingRiff(), "b2");
    Release(Qt::Key_Q);

    // Shift still down when the window closes chooses the Shift set until it goes up.
    // The on-screen modifier keys show it too, and so for Alt (Alt+F8 prints). A window manager's
    // Alt+F4, sent as one chord, closes the window and keeps the key-up of Alt: the main window
    // hears only that it has the keyboard again, once the grab has ended.
    const struct {
        int key;
        Qt::KeyboardModifiers held;
        const char* set;
        const char* onScreen;
        bool upToWindowManager;
        bool toAnotherWindow;  // the window manager hands the keyboard to another window of the program
    } kept[] = {{Qt::Key_F7, Qt::ShiftModifier, "SHIFT_", "SHIFT", false, false},
                {Qt::Key_F8, Qt::AltModifier, "ALT_", "ALT", false, false},
                {Qt::Key_F8, Qt::AltModifier, "ALT_", "ALT", true, false},
                {Qt::Key_F8, Qt::AltModifier, "ALT_", "ALT", true, true}};
    QWidget another;
    (void)another.winId();
    for (const auto& k : kept) {
        SCOPED_TRACE(std::string(k.onScreen) + (k.upToWindowManager ? " up to the window manager" : "") +
                     (k.toAnotherWindow ? ", keyboard to another window" : ""));
        QWidget& taker = k.toAnotherWindow ? another : static_cast<QWidget&>(f);
        ui->held = k.held == Qt::AltModifier ? ssAlt : ssShift;
        openAndCancel(k.key, k.held, true);
        EXPECT_EQ(f.Bindings().ActiveSetName(), k.set);
        EXPECT_EQ(f.Keyboard().State(k.onScreen), "pressed");
        ui->held = 0;
        if (!k.upToWindowManager) {
            Release(modifierKey(k.held));
        } else {
            // The focus reaching the window while the grab lasts, or only the pointer, hands
            // over no key yet.
            TellFocusIn(taker, XCB_NOTIFY_MODE_WHILE_GRABBED, XCB_NOTIFY_DETAIL_NONLINEAR);
            TellFocusIn(taker, XCB_NOTIFY_MODE_NORMAL, XCB_NOTIFY_DETAIL_POINTER);
            PumpFor(30);
            EXPECT_EQ(f.Keyboard().State(k.onScreen), "pressed");
            TellFocusIn(taker, XCB_NOTIFY_MODE_UNGRAB, XCB_NOTIFY_DETAIL_ANCESTOR);
            PumpUntil([&] { return f.Keyboard().State(k.onScreen) == "initial"; }, kEventDeadlineMs);
        }
        EXPECT_EQ(f.Bindings().ActiveSetName(), "INITIAL_");
        EXPECT_EQ(f.Keyboard().State(k.onScreen), "initial");
        Press(Qt::Key_W);
        EXPECT_EQ(f.SoundingRiff(), "b1");
        Release(Qt::Key_W);
    }

    // Shift pressed while the window is open; an on-screen SHIFT clicked before stays pressed
    // after Shift goes up.
    for (const bool clicked : {false, true}) {
        SCOPED_TRACE(clicked ? "SHIFT clicked" : "SHIFT not clicked");
        if (clicked) {
            f.KeyboardAreaImageMouseDown(nullptr, mbLeft, 0, 20, 110);
            f.KeyboardAreaImageMouseUp(nullptr, mbLeft, 0, 20, 110);
        }
        ui->held = ssShift;
        openAndCancel(Qt::Key_F8, Qt::NoModifier, false);
        EXPECT_EQ(f.Bindings().ActiveSetName(), "SHIFT_");
        EXPECT_EQ(f.Keyboard().State("SHIFT"), "pressed");
        ui->held = 0;
        Release(Qt::Key_Shift);
        EXPECT_EQ(f.Bindings().ActiveSetName(), clicked ? "SHIFT_" : "INITIAL_");
        EXPECT_EQ(f.Keyboard().State("SHIFT"), clicked ? "pressed" : "initial");
    }

    _VideoTutorialForm = nullptr;
}

}  // namespace
