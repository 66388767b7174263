#pragma once
// A content folder made in the test for the main window: a defaults file with two game modes
// (non-numeric IDs, riffs, binding sets), a complete skin of solid-colour PNGs whose colours the
// tests can look for, and short silent WAV files. Plus a fixture that starts a main window on it
// with message boxes, beeps and program ends captured.
#include "AppTestSupport.h"
#include "app/game/TGameObj.h"
#include "app/game/TKorvaneEnv.h"
#include "app/mainform/TKorvaneForm.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/ui/TTimer.h"
#include "sound/TWaveContainer.h"
#include "sound/TWaveScene.h"

#include <QColor>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace korvane_test {

// Every picture of the skin with its size; each gets its own colour.
struct SkinPicture {
    const char* name;
    int width;
    int height;
};

inline const std::vector<SkinPicture>& SkinPictures()
{
    static const std::vector<SkinPicture> pictures = [] {
        std::vector<SkinPicture> list = {
            {"NoteArea.png", 1016, 249},       {"BGN01.png", 64, 64},
            {"KeyboardArea.png", 508, 178},    {"AnimationArea.png", 508, 178},
            {"ControlsArea.png", 1016, 112},   {"FretboardArea.png", 1016, 171},
            {"GameModeListInitial.png", 249, 17}, {"GameModeListPressed.png", 249, 17},
            {"GameModeListMouse.png", 249, 17}, {"RhythmVolume.png", 35, 90},
            {"VolumeInitial.png", 25, 13},     {"VolumeMouse.png", 25, 13},
            // The fretboard's spot and the transcription pages of the riffs.
            {"Spot01.png", 12, 12},            {"blues01.png", 8, 8},
            {"blues02.png", 8, 8},             {"rock01.png", 8, 8},
            {"UpcSpot0.png", 12, 12},          {"UpcSpot1.png", 12, 12},
        };
        struct Button {
            const char* stem;
            int width;
            int height;
        };
        static const Button buttons[] = {
            {"Next", 34, 24},         {"Previous", 34, 24},     {"RiffList", 76, 36},
            {"05AA", 76, 36},         {"NextRiff", 36, 26},     {"PreviousRiff", 36, 26},
            {"HistoryNextRiff", 36, 26}, {"HistoryPreviousRiff", 36, 26}, {"Play", 57, 47},
            {"PlayRiff", 76, 36},     {"Stop", 57, 47},         {"Pause", 57, 47},
            {"Speaker", 52, 36},      {"Video", 76, 36},        {"Video2", 76, 36},
            {"Save", 76, 36},         {"Print", 76, 36},        {"TutorialVideo", 76, 36},
            {"Settings", 76, 36},     {"Help", 52, 36},         {"About", 76, 36},
            {"HVLogo", 122, 46},      {"Korvane", 194, 39},     {"GameMode", 265, 39},
            {"PlayClip", 76, 26},     {"PlayClipNext", 36, 26}, {"PlayClipPrev", 36, 26},
        };
        static std::vector<std::string> names;
        names.reserve(std::size(buttons) * 3);
        for (const Button& b : buttons)
            for (const char* state : {"Initial", "Mouse", "Pressed"}) {
                names.push_back(std::string(b.stem) + state + ".png");
                list.push_back({names.back().c_str(), b.width, b.height});
            }
        return list;
    }();
    return pictures;
}

// The colour of a picture: distinct, fully opaque, derived from its position in the list.
inline QRgb SkinColor(const std::string& name)
{
    const auto& pictures = SkinPictures();
    for (std::size_t i = 0; i < pictures.size(); ++i)
        if (name == pictures[i].name) {
            const unsigned n = unsigned(i) + 1;
            return qRgb(int((n * 53) % 200 + 40), int((n * 97) % 200 + 40), int((n * 31) % 200 + 40));
        }
    return qRgb(0, 0, 0);
}

// 16-bit stereo silence at 44100 Hz.
inline void WriteWav(const std::filesystem::path& path, int milliseconds)
{
    const std::uint32_t frames = std::uint32_t(44100LL * milliseconds / 1000);
    const std::uint32_t bytes = frames * 4;
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    out.write("data", 4);
    u32(bytes);
    const std::vector<char> silence(bytes, 0);
    out.write(silence.data(), std::streamsize(silence.size()));
}

// A note of a riff's MIDI file: its start and length in ticks (480 per quarter note at 120 beats
// per minute, so 480 ticks are 500 ms) and its number, on a display channel.
struct MidiNote {
    std::uint32_t tick;
    std::uint32_t length;
    std::uint8_t note;
    std::uint8_t channel = 10;
};

// The notes every riff of the test content plays: two that start together and one 500 ms later.
inline const std::vector<MidiNote>& RiffNotes()
{
    static const std::vector<MidiNote> notes = {{0, 200, 64}, {40, 200, 65}, {480, 400, 67}};
    return notes;
}

// A Standard MIDI File of format 0 with the tempo and the notes.
inline void WriteMidi(const std::filesystem::path& path, const std::vector<MidiNote>& notes)
{
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> events;
    events.push_back({0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}});
    for (const MidiNote& n : notes) {
        events.push_back({n.tick, {std::uint8_t(0x90 | n.channel), n.note, 100}});
        events.push_back({n.tick + n.length, {std::uint8_t(0x80 | n.channel), n.note, 0}});
    }
    std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::uint8_t> track;
    std::uint32_t now = 0;
    auto vlq = [&](std::uint32_t v) {
        std::uint8_t bytes[5];
        int n = 0;
        bytes[n++] = v & 0x7F;
        while ((v >>= 7) != 0)
            bytes[n++] = std::uint8_t(0x80 | (v & 0x7F));
        while (n > 0)
            track.push_back(bytes[--n]);
    };
    for (const auto& [tick, data] : events) {
        vlq(tick - now);
        now = tick;
        track.insert(track.end(), data.begin(), data.end());
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::ofstream out(path, std::ios::binary);
    auto be = [&](std::uint32_t v, int bytes) {
        for (int i = bytes - 1; i >= 0; --i)
            out.put(char((v >> (8 * i)) & 0xFF));
    };
    out.write("MThd", 4);
    be(6, 4);
    be(0, 2);
    be(1, 2);
    be(480, 2);
    out.write("MTrk", 4);
    be(std::uint32_t(track.size()), 4);
    out.write(reinterpret_cast<const char*>(track.data()), std::streamsize(track.size()));
}

// The defaults: "blues" (size 4, two riffs) and "rock" (one riff). Extra text is appended
// inside the file's end, so a test can change a mode or add one.
inline std::string DefaultsText(const std::string& extra = {})
{
    return R"(context general
	string Version="2.0.0 test"
	string ApplicationTitle="Korvane 2 Test"
	bool RMP_Autoswitch=0
	string Hints[]=""
	context Fretboard
		integer X[25]=26,87,156,222,284,342,397,449,498,544,588,629,668,704,739,772,803,832,859,885,910,933,954,975,994
		context chord[6]
			integer Y[25]
		endcontext
	endcontext
endcontext
general.Fretboard.chord[1].Y[*]=20
general.Fretboard.chord[2].Y[*]=46
general.Fretboard.chord[3].Y[*]=72
general.Fretboard.chord[4].Y[*]=98
general.Fretboard.chord[5].Y[*]=124
general.Fretboard.chord[6].Y[*]=150
context keyboard
	string key_skins[]=""
	context key[]
		string Caption=""
		integer left=0
		integer top=0
		integer width=40
		integer height=30
		integer scan_code=0
		bool slim=0
		string skin=""
		string state="initial"
	endcontext
endcontext
keyboard.key[Q] {
	Caption="Q"
	left=10
	top=10
	scan_code=81
}
keyboard.key[W] {
	Caption="W"
	left=60
	top=10
	scan_code=87
}
keyboard.key[E] {
	Caption="E"
	left=110
	top=10
	scan_code=69
}
keyboard.key[SHIFT] {
	Caption="SHIFT"
	left=10
	top=100
	scan_code=16
	slim=1
}
keyboard.key[ALT] {
	Caption="ALT"
	left=60
	top=100
	scan_code=18
	slim=1
}
keyboard.key[CTRL] {
	Caption="CTRL"
	left=110
	top=100
	scan_code=17
	slim=1
}
context color_schemes[]
	context initial
		integer fill_color[3]
		integer edge_color[3]
		integer caption_color[3]
		integer edge_width=1
	endcontext
	context mouse
		integer fill_color[3]
		integer edge_color[3]
		integer caption_color[3]
		integer edge_width=1
	endcontext
	context pressed
		integer fill_color[3]
		integer edge_color[3]
		integer caption_color[3]
		integer edge_width=1
	endcontext
endcontext
context Audio
	integer WV_BufferSize=60
endcontext
context settings
	integer current_mode=0
	float riff_volume=0.8
	float groove_volume=0.7
	bool ShowHints=1
	bool ShowFingering=1
	integer QuantizeMode=2
	integer StepAdvanceThroughClipsBy=0
	context SelectedRiff[]
		string Riff=""
		string Set=""
	endcontext
endcontext
context mode[]
	string title_in_combo=""
	string title_in_drop=""
	string groove_file=""
	string fretboard_image=""
	integer size=4
	integer altuning_offset[6]
	context riff[]
		string file_prefix[]=""
		integer x[4]
		integer size=0
		integer type=1
	endcontext
	context toggle[]
		string bind[]=""
	endcontext
endcontext
mode[blues] {
	title_in_combo="Blues in A"
	title_in_drop="Blues in A - 90 BPM"
	groove_file="blues_groove.wav"
	riff[b1] {
		file_prefix="blues01"
		x=40,140,240,340
		size=8
	}
	riff[b2] {
		file_prefix="blues02"
		x[1]=0
	}
	toggle[INITIAL_].bind[Q]="b2"
	toggle[INITIAL_].bind[W]="b1"
	toggle[INITIAL_].bind[SHIFT]=""
	toggle[INITIAL_].bind[ALT]=""
	toggle[INITIAL_].bind[CTRL]=""
	toggle[SHIFT_].bind[E]="b1"
	toggle[SHIFT_].bind[SHIFT]=""
	toggle[SHIFT_].bind[ALT]=""
	toggle[ALT_].bind[W]="b2"
	toggle[ALT_].bind[SHIFT]=""
	toggle[ALT_].bind[ALT]=""
}
mode[rock] {
	title_in_combo="Rock in E"
	title_in_drop="Rock in E - 120 BPM"
	groove_file="rock_groove.wav"
	riff[k1] {
		file_prefix="rock01"
	}
}
)" + extra;
}

// Writes the whole content into folder (which ends with a separator).
inline void WriteContent(const std::string& folder, const std::string& defaults = DefaultsText())
{
    namespace fs = std::filesystem;
    fs::create_directories(fs::path(folder) / "Pics01");
    fs::create_directories(fs::path(folder) / "wavs");
    for (const SkinPicture& picture : SkinPictures()) {
        QImage image(picture.width, picture.height, QImage::Format_RGB32);
        image.fill(SkinColor(picture.name));
        image.save(QString::fromStdString((fs::path(folder) / "Pics01" / picture.name).string()), "PNG");
    }
    std::ofstream(fs::path(folder) / "Korvane.DEF", std::ios::binary) << defaults;
    WriteWav(fs::path(folder) / "wavs" / "blues_groove.wav", 8000);
    WriteWav(fs::path(folder) / "wavs" / "rock_groove.wav", 4000);
    fs::create_directories(fs::path(folder) / "MIDI");
    for (const char* riff : {"blues01", "blues02", "rock01"}) {
        WriteWav(fs::path(folder) / "wavs" / (std::string(riff) + ".wav"), 1000);
        WriteMidi(fs::path(folder) / "MIDI" / (std::string(riff) + ".mid"), RiffNotes());
    }
}

// Every environment event of the names it is made for, in order, with the time it was handled.
class EventLog : public TGameObj {
public:
    struct Entry {
        std::string name;
        std::int32_t param = 0;
        std::chrono::steady_clock::time_point at;
    };
    EventLog(TGameEnvObj* env, const std::vector<std::string>& names) : TGameObj(env)
    {
        for (const std::string& name : names)
            env->Subscribe(name, this);
    }
    void OnEvent(const TGameEnvObj::TGameEvent& event, std::int32_t param) override
    {
        entries.push_back({event.name, param, std::chrono::steady_clock::now()});
    }
    [[nodiscard]] int Count(const std::string& name) const
    {
        return int(std::count_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.name == name; }));
    }
    // Index of the first entry of that name at or after from; -1 for none.
    [[nodiscard]] int Find(const std::string& name, int from = 0) const
    {
        for (int i = std::max(from, 0); i < int(entries.size()); ++i)
            if (entries[std::size_t(i)].name == name)
                return i;
        return -1;
    }
    std::vector<Entry> entries;
};

// Adds a log of the key road's events to the window's environment; the environment owns it.
inline EventLog& AttachEventLog(TKorvaneForm& form)
{
    auto log = std::make_unique<EventLog>(
        form.Env(), std::vector<std::string>{"NOTEON", "NOTEOFF", "MIDICTRL", "UPC_NOTEON", "MIDIOFF", "SHOWRIFF",
                                             "STOPRIFF", "HIDERIFF"});
    EventLog& ref = *log;
    form.Env()->AddObject(std::move(log));
    return ref;
}

// Runs the event loop for ms milliseconds, or until done() holds; returns done()'s last answer.
inline bool PumpUntil(const std::function<bool()>& done, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done && done())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done && done();
}

inline void PumpFor(int ms)
{
    (void)PumpUntil({}, ms);
}

// The pointer leaves from and enters to (which may be the same widget), as the window system
// reports a move between them.
inline void MovePointer(QObject* from, QObject* to)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(from, &leave);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(to, &enter);
}

// A key event as Qt delivers it to the window (through the application's event filters).
inline void SendKey(QWidget* window, bool press, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                    bool autoRepeat = false)
{
    QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key, modifiers, QString(), autoRepeat);
    QCoreApplication::sendEvent(window, &event);
}

// Why a test that types on a real X display (xvfb-run, QT_QPA_PLATFORM=xcb, xdotool) cannot run
// here; empty when it can.
inline std::string MissingXDisplay()
{
    if (QGuiApplication::platformName() != "xcb")
        return "needs an X display (platform " + QGuiApplication::platformName().toStdString() + ")";
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        return "needs xdotool";
    return {};
}

// Shows the window at the screen's top left and gives it the X server's input focus, which
// nothing else does without a window manager; false when it does not become active.
inline bool ShowFocused(QWidget& window)
{
    window.move(0, 0);
    window.show();
    window.raise();
    window.activateWindow();
    PumpFor(300);
    (void)QProcess::execute("xdotool", {"windowfocus", "--sync", QString::number(window.winId())});
    return PumpUntil([&] { return window.isActiveWindow(); }, kEventDeadlineMs);
}

// Leaves the global scene and container empty and without output for the next test.
inline void ResetSound()
{
    WaveScene.RemoveAllInstances();
    WaveContainer.Clear();
    WaveScene.Clear();
    WaveScene.SetWriter(nullptr, std::string());
}

// A main window over a fresh content folder, with the user interface captured.
class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        ui = std::make_unique<CapturedUi>();
        WriteContent(content.Dir());
    }
    void TearDown() override
    {
        form.reset();
        ResetSound();
        ui.reset();
    }

    // Makes the window and runs its start-up.
    TKorvaneForm& Start()
    {
        form.reset();
        ResetSound();
        form = std::make_unique<TKorvaneForm>(nullptr, content.Dir());
        form->InitApplication();
        return *form;
    }
    std::string Picture(const std::string& name) const { return content.Dir() + "Pics01/" + name; }
    void RemovePicture(const std::string& name) const { std::filesystem::remove(Picture(name)); }

    TempFolder content;
    std::unique_ptr<CapturedUi> ui;
    std::unique_ptr<TKorvaneForm> form;
};

}  // namespace korvane_test
