#include "demo/ConfigFiles.h"

#include "demo/DemoKeyboard.h"
#include "demo/DemoModel.h"
#include "demo/DemoOutput.h"
#include "demo/FretboardGeometry.h"
#include "demo/PageLayout.h"
#include "demo/VideoContent.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace demo {

namespace {

std::string Quote(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string Join(const std::vector<int>& values)
{
    std::string s;
    for (std::size_t i = 0; i < values.size(); ++i)
        s += (i ? "," : "") + std::to_string(values[i]);
    return s;
}

std::string Rgb(const std::array<int, 3>& c)
{
    return Join({c[0], c[1], c[2]});
}

void AddAll(TStringList& lines, std::initializer_list<const char*> text)
{
    for (const char* line : text)
        lines.Add(line);
}

// Tool-tip texts of the main panel's controls; "|" breaks a line.
const std::vector<std::pair<std::string, std::string>>& MainHints()
{
    static const std::vector<std::pair<std::string, std::string>> hints{
        {"KorvaneButton", "About Korvane"},
        {"CurrentMode", "Game mode|Click to choose another mode"},
        {"AboutButton2", "About Korvane"},
        {"SettingsButton", "Preferences (Shift+F7)"},
        {"VolumeControl", "Open the system volume mixer"},
        {"HelpButton", "Help (F1)"},
        {"TutorialVideoButton", "Tutorial videos (Shift+F1)"},
        {"AboutButton", "About Korvane"},
        {"PlayButton", "Play|Starts the rhythm section (F4)"},
        {"StopButton", "Stop (Esc, F2)"},
        {"PauseButton", "Pause (F3)"},
        {"WaveButton", "Save your last performance as a WAV file (F7)"},
        {"MelodyVolume", "Rhythm section volume"},
        {"RiffVolume", "Solo guitar volume"},
        {"VideoButton", "Riff video (F6)"},
        {"PrintButton", "Print transcriptions (F8)"},
        {"VideoButton2", "Riff video (F6)"},
        {"PlayRiffButton", "Play the current riff (F9)"},
        {"RiffListButton", "Riff list (Shift+F2)"},
        {"HalfSpeedButton", "Half speed (Shift+F3)"},
        {"PrevRiffButton", "Previous riff (keypad -)"},
        {"NextRiffButton", "Next riff (keypad +)"},
        {"PlayClipButton", "Play the riff clip by clip (F11)"},
        {"HistoryPrevRiffButton", "Back in the riff history (Shift+F5)"},
        {"HistoryNextRiffButton", "Forward in the riff history (Shift+F6)"},
        {"PrevClipButton", "Previous clip (F10)"},
        {"NextClipButton", "Next clip (F12)"},
        {"RMP_PrevButton", "Previous transcription page (keypad /)"},
        {"RMP_NextButton", "Next transcription page (keypad *)"},
        {"KeyboardAreaImage", "Click a key to play its riff|Hold Shift or Alt for more riffs"},
    };
    return hints;
}

struct Scheme {
    std::string name;
    std::array<std::array<int, 3>, 3> fill;     // initial, mouse, pressed
    std::array<std::array<int, 3>, 3> edge;
    std::array<std::array<int, 3>, 3> caption;
    std::array<int, 3> edgeWidth;
};

const std::vector<Scheme>& Schemes()
{
    static const std::vector<Scheme> schemes{
        {"neutral", {{{70, 74, 82}, {96, 102, 114}, {150, 156, 170}}},
         {{{30, 32, 36}, {200, 200, 210}, {255, 255, 255}}},
         {{{220, 220, 225}, {255, 255, 255}, {20, 20, 24}}}, {1, 1, 2}},
        {"lead", {{{40, 90, 170}, {70, 130, 220}, {250, 200, 60}}},
         {{{15, 35, 80}, {220, 230, 255}, {120, 80, 0}}},
         {{{240, 245, 255}, {255, 255, 255}, {30, 20, 0}}}, {1, 2, 2}},
        {"rhythm", {{{40, 130, 70}, {70, 180, 100}, {250, 200, 60}}},
         {{{10, 50, 20}, {220, 255, 230}, {120, 80, 0}}},
         {{{240, 255, 240}, {255, 255, 255}, {30, 20, 0}}}, {1, 2, 2}},
        {"power", {{{170, 50, 40}, {220, 80, 60}, {250, 200, 60}}},
         {{{70, 15, 10}, {255, 225, 220}, {120, 80, 0}}},
         {{{255, 240, 235}, {255, 255, 255}, {30, 20, 0}}}, {1, 2, 2}},
        {"fill", {{{130, 60, 160}, {170, 100, 200}, {250, 200, 60}}},
         {{{50, 20, 70}, {240, 225, 255}, {120, 80, 0}}},
         {{{250, 240, 255}, {255, 255, 255}, {30, 20, 0}}}, {1, 2, 2}},
    };
    return schemes;
}

// Finger label colours: the spot pictures of fingers 1 to 4 use the same colours.
constexpr std::array<std::array<int, 3>, 4> kFingerColours{{{40, 90, 230}, {220, 40, 40}, {30, 150, 60}, {230, 190, 20}}};

void AddGeneral(TStringList& d)
{
    AddAll(d, {
        "context general",
        // The splash appends this to the program's own four-part version.
        "\tstring Version=\" (demo content)\"",
        "\tstring ApplicationTitle=\"Korvane 2\"",
        "\tbool RMP_Autoswitch=1",
        "\tstring Hints[]=\"\"",
        "\tcontext Fretboard",
    });
    std::vector<int> xs;
    for (int f = 0; f < kFrets; ++f)
        xs.push_back(FretSpotX(f));
    d.Add("\t\tinteger X[" + std::to_string(kFrets) + "]=" + Join(xs));
    AddAll(d, {
        "\t\tcontext chord[6]",
        "\t\t\tinteger Y[25]",
        "\t\tendcontext",
        "\t\tcontext BLabel[4]",
        "\t\t\tstring Caption=\"\"",
        "\t\t\tinteger FontSize=8",
        "\t\t\tinteger X=-1",
        "\t\t\tinteger Y=-1",
        "\t\t\tinteger Color[3]=255,255,255",
        "\t\t\tinteger FColor[3]=255,255,255",
        "\t\tendcontext",
        "\tendcontext",
        "\tcontext VideoHelp[]",
        "\t\tstring Description=\"\"",
        "\t\tinteger Size=1",
        "\t\tinteger Left=-1",
        "\t\tinteger Top=-1",
        "\t\tinteger Width=640",
        "\t\tinteger Height=480",
        "\t\tfloat Aspect=1.333333",
        "\t\tstring FileName=\"\"",
        "\tendcontext",
        "\tcontext RiffListDialog",
        "\t\tinteger ColumnFontSize[6]=10,9,9,9,9,8",
        "\t\tstring Hints[]=\"\"",
        "\tendcontext",
        "\tcontext RiffVideoDialog",
        "\t\tstring Hints[]=\"\"",
        "\tendcontext",
        "endcontext",
    });
    // The spots sit on the strings whatever the fret.
    for (int s = 0; s < 6; ++s)
        d.Add("general.Fretboard.chord[" + std::to_string(s + 1) + "].Y[*]=" + std::to_string(StringY(s)));
    for (int finger = 1; finger <= 4; ++finger) {
        const std::string label = "general.Fretboard.BLabel[" + std::to_string(finger) + "]";
        d.Add(label + " {");
        d.Add("\tCaption=" + Quote(std::to_string(finger)));
        d.Add("\tFColor=" + Rgb(kFingerColours[static_cast<std::size_t>(finger - 1)]));
        d.Add("}");
    }
    for (const auto& [control, text] : MainHints())
        d.Add("general.Hints[" + control + "]=" + Quote(text));
    AddAll(d, {
        "general.RiffListDialog.Hints[PlayButton]=\"Listen to the selected riff\"",
        "general.RiffListDialog.Hints[StopButton]=\"Stop the riff\"",
        "general.RiffListDialog.Hints[PlayVideoButton]=\"Watch the riff's video\"",
        "general.RiffListDialog.Hints[ApplyFilterButton]=\"Show only the riffs whose column holds the text\"",
        "general.RiffListDialog.Hints[RemoveFilterButton]=\"Show every riff again\"",
        "general.RiffListDialog.Hints[OkButton]=\"Make the selected riff the current one\"",
        "general.RiffVideoDialog.Hints[PlayButton]=\"Play (F4)\"",
        "general.RiffVideoDialog.Hints[StopButton]=\"Stop (F2)\"",
        "general.RiffVideoDialog.Hints[PauseButton]=\"Pause (F3)\"",
        "general.RiffVideoDialog.Hints[SlowButton]=\"Slow motion (Shift+F3)\"",
        "general.RiffVideoDialog.Hints[RepeatButton]=\"Repeat\"",
        "general.RiffVideoDialog.Hints[MovieSlider]=\"Position\"",
    });
    AddVideoHelp(d);
}

void AddAudio(TStringList& d)
{
    AddAll(d, {
        "context Audio",
        "\tinteger W98_BufferSize=200",
        "\tinteger W2K_BufferSize=120",
        "\tinteger WV_BufferSize=100",
        "endcontext",
    });
}

void AddKeyboard(TStringList& d)
{
    AddAll(d, {
        "context keyboard",
        "\tstring key_skins[]=\"\"",
        "\tcontext key[]",
        "\t\tstring Caption=\"\"",
        "\t\tinteger left=0",
        "\t\tinteger top=0",
        "\t\tinteger width=54",
        "\t\tinteger height=44",
        "\t\tinteger scan_code=0",
        "\t\tbool slim=0",
        "\t\tstring skin=\"none\"",
        "\t\tstring state=\"initial\"",
        "\tendcontext",
        "endcontext",
    });
    // Skin names are read by position, so their entry IDs are 1, 2, ...
    d.Add(std::string("keyboard.key_skins[1]=") + Quote(kKeySkinName));
    for (const DemoKey& k : DemoKeys()) {
        d.Add("keyboard.key[" + k.name + "] {");
        d.Add("\tCaption=" + Quote(k.caption));
        d.Add("\tleft=" + std::to_string(k.left));
        d.Add("\ttop=" + std::to_string(k.top));
        d.Add("\twidth=" + std::to_string(k.width));
        d.Add("\theight=" + std::to_string(k.height));
        d.Add("\tscan_code=" + std::to_string(k.scanCode));
        d.Add(std::string("\tslim=") + (k.slim ? "1" : "0"));
        d.Add("\tskin=" + Quote(k.skin));
        d.Add("}");
    }
}

void AddColourSchemes(TStringList& d)
{
    d.Add("context color_schemes[]");
    for (const char* state : {"initial", "mouse", "pressed"}) {
        d.Add(std::string("\tcontext ") + state);
        AddAll(d, {"\t\tinteger fill_color[3]", "\t\tinteger edge_color[3]", "\t\tinteger caption_color[3]",
                   "\t\tinteger edge_width=1"});
        d.Add("\tendcontext");
    }
    d.Add("endcontext");
    for (const Scheme& s : Schemes()) {
        d.Add("color_schemes[" + s.name + "] {");
        const char* const states[] = {"initial", "mouse", "pressed"};
        for (std::size_t i = 0; i < 3; ++i) {
            const std::string st = states[i];
            d.Add("\t" + st + ".fill_color=" + Rgb(s.fill[i]));
            d.Add("\t" + st + ".edge_color=" + Rgb(s.edge[i]));
            d.Add("\t" + st + ".caption_color=" + Rgb(s.caption[i]));
            d.Add("\t" + st + ".edge_width=" + std::to_string(s.edgeWidth[i]));
        }
        d.Add("}");
    }
}

void AddSettings(TStringList& d)
{
    AddAll(d, {
        "context settings",
        "\tstring current_mode=\"-1\"",
        "\tfloat riff_volume=0.8",
        "\tfloat groove_volume=0.7",
        "\tbool ShowHints=1",
        "\tinteger QuantizeMode=2",
        "\tinteger StepAdvanceThroughClipsBy=0",
        "\tbool ShowFingering=1",
        "\tbool ShowFilledShapes=0",
        "\tbool ShowColorSpots=0",
        "\tbool ShowShapes=0",
        "\tbool ShowUpcomingNotes=0",
        "\tinteger UpcomingNoteInterval=300",
        "\tbool ShowFingeringOnTranscriptions=0",
        "\tbool UseInvertedVideo=0",
        "\tinteger RiffListColumnWidths[6]=110,80,220,90,50,260",
        "\tcontext SelectedRiff[]",
        "\t\tstring Riff=\"\"",
        "\t\tstring Set=\"\"",
        "\tendcontext",
        "endcontext",
    });
}

void AddModeTemplate(TStringList& m)
{
    AddAll(m, {
        "context mode[]",
        "\tstring title_in_combo=\"\"",
        "\tstring title_in_drop=\"\"",
        "\tstring groove_file=\"\"",
        "\tstring fretboard_image=\"FretboardArea.png\"",
        "\tinteger size=4",
        "\tcontext riff[]",
        "\t\tstring file_prefix[]=\"\"",
        "\t\tstring title=\"\"",
        "\t\tstring info[4]",
        "\t\tinteger type=0",
        "\t\tinteger size=0",
        "\t\tstring color_scheme=\"neutral\"",
        "\t\tinteger notegrp_tick_dist=0",
        "\t\tinteger notegrp_before[5]=20,0,0,0,0",
        "\t\tinteger notegrp_after[5]=80,0,0,0,0",
        "\t\tstring file_override_video=\"\"",
        "\tendcontext",
        "\tcontext toggle[]",
        "\t\tstring bind[]=\"\"",
        "\tendcontext",
        "endcontext",
    });
}

std::string PagePositions()
{
    std::vector<int> xs;
    for (int k = 0; k <= kStepsPerBar; ++k)
        xs.push_back(PageStepX(k));
    return "[" + std::to_string(xs.size()) + "]=" + Join(xs);
}

void AddRiff(TStringList& m, const DemoRiff& riff)
{
    m.Add("\triff[" + riff.id + "] {");
    m.Add("\t\tfile_prefix=" + Quote(riff.prefix));
    m.Add("\t\ttitle=" + Quote(riff.title));
    m.Add("\t\tinfo=" + Quote(riff.title) + "," + Quote(riff.description) + "," + Quote(riff.difficulty) + "," +
          Quote(std::to_string(riff.bars)));
    m.Add("\t\ttype=" + std::to_string(riff.type));
    m.Add("\t\tsize=" + std::to_string(riff.bars * kStepsPerBar));
    m.Add("\t\tcolor_scheme=" + Quote(riff.colorScheme));
    if (riff.type != 0) {
        // The riffs that start at once also show clips of their own: wider note groups, and
        // slices widened at every step.
        m.Add("\t\tnotegrp_tick_dist=120");
        m.Add("\t\tnotegrp_before=30,10,10,10,10");
        m.Add("\t\tnotegrp_after=60,20,20,20,20");
    }
    for (int bar = 0; bar < riff.bars; ++bar) {
        if (bar > 0)
            m.Add("\t\tfile_prefix[" + PageId(bar) + "]=" + Quote(PagePrefix(riff, bar)));
        m.Add("\t\tinteger x" + PageId(bar) + PagePositions());
    }
    m.Add("\t}");
}

void AddBindings(TStringList& m, const DemoMode& mode)
{
    for (const char* set : {"INITIAL_", "SHIFT_", "ALT_"})
        for (const DemoKey& key : DemoKeys()) {
            std::string riff;
            for (const DemoBinding& b : mode.bindings)
                if (b.set == set && b.key == key.name)
                    riff = b.riff;
            m.Add(std::string("\ttoggle[") + set + "].bind[" + key.name + "]=" + Quote(riff));
        }
}

} // namespace

void WriteDefaultsFile(const std::filesystem::path& dir)
{
    TStringList d;
    AddAll(d, {"; Defaults of the riff trainer. \"Korvane.INI\" is loaded over this file and may only",
               "; assign keys declared here.", ""});
    AddGeneral(d);
    d.Add("");
    AddAudio(d);
    d.Add("");
    AddKeyboard(d);
    d.Add("");
    AddColourSchemes(d);
    d.Add("");
    AddSettings(d);
    d.Add("");
    d.Add(std::string("include(\"") + kModesFile + "\")");
    SaveLines(d, dir / kDefaultsFile);
}

void WriteModesFile(const std::filesystem::path& dir)
{
    TStringList m;
    m.Add("; Game modes: groove, riffs with their pages, and the key bindings of each modifier set.");
    AddModeTemplate(m);
    for (const DemoMode& mode : DemoModes()) {
        m.Add("");
        m.Add("mode[" + mode.id + "] {");
        m.Add("\ttitle_in_combo=" + Quote(mode.comboTitle));
        m.Add("\ttitle_in_drop=" + Quote(mode.dropTitle));
        m.Add("\tgroove_file=" + Quote(mode.grooveFile));
        m.Add("\tsize=" + std::to_string(kGrooveBars));
        if (mode.alternateTuning) {
            const auto& o = mode.tuningOffset;
            m.Add("\tinteger altuning_offset[6]=" + Join({o[0], o[1], o[2], o[3], o[4], o[5]}));
        }
        for (const DemoRiff& riff : mode.riffs)
            AddRiff(m, riff);
        AddBindings(m, mode);
        m.Add("}");
    }
    AddRiffVideoOverrides(m);
    SaveLines(m, dir / kModesFile);
}

} // namespace demo
