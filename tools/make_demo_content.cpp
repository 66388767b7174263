// make_demo_content DIR: creates DIR and writes the demo content the program starts from.
// One function per kind of content; each writes its files under DIR and says what it wrote.
// Exit code 0 on success, 1 with the error text on stderr.
#include "config/TDVContext.h"
#include "platform/Exception.h"
#include "platform/TStringList.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct DemoRiff {
    std::string id;          // entry ID of the mode's "riff" list, also the riff's name
    std::string filePrefix;  // base name of its wave, MIDI file and transcription pages
    int pages = 1;
};

struct DemoMode {
    std::string id;
    std::string comboTitle;
    std::string dropTitle;
    std::string grooveFile;
    std::vector<DemoRiff> riffs;
};

std::vector<DemoMode> DemoModes()
{
    return {
        {"blues", "Blues in A", "Blues in A - 90 BPM", "blues_groove.wav",
         {{"r1", "blues01", 2}, {"r2", "blues02", 1}, {"r3", "blues03", 1}}},
        {"rock", "Rock in E", "Rock in E - 120 BPM", "rock_groove.wav",
         {{"r1", "rock01", 1}, {"r2", "rock02", 2}}},
    };
}

void Save(const TStringList& lines, const fs::path& file)
{
    lines.SaveToFile(file.string());
    std::cout << "wrote " << file.string() << " (" << lines.Count() << " lines)\n";
}

// The defaults: general, audio, keyboard and display values, and the "settings" context the
// user file overrides. The modes come from an included file.
void WriteDefaultsFile(const fs::path& dir)
{
    TStringList d;
    for (const char* line : {
             "; Defaults of the riff trainer. Korvane.INI is loaded over this file and may only",
             "; assign keys declared here.",
             "",
             "context general",
             "\tstring Version=\"2.0.0 demo\"",
             "\tstring ApplicationTitle=\"Korvane 2\"",
             "\tbool RMP_Autoswitch=1",
             "\tcontext Fretboard",
             "\t\tinteger X[13]=20,0,0,0,0,0,0,0,0,0,0,0,620  ; fret positions, filled below",
             "\t\tstring BLabel[6]=\"e\",\"B\",\"G\",\"D\",\"A\",\"E\"",
             "\t\tcontext chord[6]",
             "\t\t\tinteger Y[2]",
             "\t\tendcontext",
             "\tendcontext",
             "\tcontext VideoHelp[]",
             "\t\tstring Description=\"\"",
             "\t\tstring File=\"\"",
             "\tendcontext",
             "\tcontext RiffListDialog",
             "\t\tinteger ColumnFontSize[3]=10,10,8",
             "\tendcontext",
             "endcontext",
             "auto_morph(general.Fretboard.X[#])",
             "general.Fretboard.chord[1].Y=12,18",
             "general.Fretboard.chord[6].Y=112,118",
             "morph(general.Fretboard.chord[#],1,6)",
             "general.VideoHelp[intro] {",
             "\tDescription=\"Getting started\"",
             "\tFile=\"Video\\Intro.wmv\"",
             "}",
             "general.VideoHelp[keys].Description=\"Playing with the keyboard\"",
             "general.VideoHelp[keys].File=\"Video\\Keys.wmv\"",
             "",
             "context Audio",
             "\tinteger W98_BufferSize=200",
             "\tinteger W2K_BufferSize=120",
             "\tinteger WV_BufferSize=\\",
             "100",
             "endcontext",
             "",
             "context settings",
             "\tinteger current_mode=0",
             "\tfloat riff_volume=0.8",
             "\tfloat groove_volume=0.7",
             "\tbool ShowHints=1",
             "\tbool ShowFingering=1",
             "\tbool ShowShapes=0",
             "\tbool ShowFilledShapes=0",
             "\tbool ShowColorSpots=1",
             "\tbool ShowFingeringOnTranscriptions=0",
             "\tbool UseInvertedVideo=0",
             "\tbool ShowUpcomingNotes=1",
             "\tinteger UpcomingNoteInterval=2",
             "\tcontext SelectedRiff[]",
             "\t\tstring Riff=\"\"",
             "\t\tstring Set=\"\"",
             "\tendcontext",
             "endcontext",
             "pointer volume=&settings.riff_volume",
             "",
             "include(\"DemoModes.inc\")",
         })
        d.Add(line);
    Save(d, dir / "Korvane.DEF");
}

// The game modes: the "mode" list with its riffs, pages and key bindings.
void WriteModesFile(const fs::path& dir)
{
    TStringList m;
    m.Add("; Game modes of the demo content.");
    m.Add("context mode[]");
    for (const char* line : {
             "\tstring title_in_combo=\"\"",
             "\tstring title_in_drop=\"\"",
             "\tstring groove_file=\"\"",
             "\tstring fretboard_image=\"\"",
             "\tinteger altuning_offset[6]",
             "\tcontext riff[]",
             "\t\tstring file_prefix[]=\"\"",
             "\t\tinteger x[8]",
             "\t\tinteger x2[8]",
             "\t\tinteger size=0",
             "\tendcontext",
             "\tcontext toggle[]",
             "\t\tstring bind[]=\"\"",
             "\tendcontext",
         })
        m.Add(line);
    m.Add("endcontext");
    const char* const keys[] = {"Q", "W", "E", "R", "T"};
    for (const auto& mode : DemoModes()) {
        m.Add("");
        m.Add("mode[" + mode.id + "] {");
        m.Add("\ttitle_in_combo=\"" + mode.comboTitle + "\"");
        m.Add("\ttitle_in_drop=\"" + mode.dropTitle + "\"");
        m.Add("\tgroove_file=\"" + mode.grooveFile + "\"");
        m.Add("\tfretboard_image=\"FretboardArea.png\"");
        for (const auto& riff : mode.riffs) {
            m.Add("\triff[" + riff.id + "] {");
            m.Add("\t\tfile_prefix=\"" + riff.filePrefix + "\"");
            for (int page = 1; page <= riff.pages; ++page) {
                const std::string pageName = riff.filePrefix + "_p" + std::to_string(page);
                m.Add("\t\tfile_prefix[" + std::to_string(page == 1 ? 1 : 5) + "]=\"" + pageName + "\"");
            }
            m.Add("\t\tx[1]=40");
            m.Add("\t\tx[4]=400");
            m.Add("\t\tsize=8");
            m.Add("\t}");
            m.Add("\tauto_morph(riff[" + riff.id + "].x[#])");
        }
        std::size_t k = 0;
        for (const auto& riff : mode.riffs) {
            if (k >= std::size(keys))
                break;
            m.Add("\ttoggle[INITIAL_].bind[" + std::string(keys[k]) + "]=\"" + riff.id + "\"");
            ++k;
        }
        m.Add("\ttoggle[SHIFT_].bind[Q]=\"" + mode.riffs.back().id + "\"");
        m.Add("\ttoggle[ALT_].bind[Q]=\"\"");
        m.Add("}");
    }
    m.Add("mode[rock].altuning_offset=0,0,0,0,0,2");
    Save(m, dir / "DemoModes.inc");
}

// The user file as the program writes it on closing: the "settings" context alone, every
// non-empty context as a block.
void WriteUserFile(const fs::path& dir)
{
    TDVContext root;
    root.LoadFromFile((dir / "Korvane.DEF").string(), true);
    root.SetInteger("settings.current_mode", 1);
    root.SetFloat("settings.groove_volume", 0.6f);
    root.SetStringAt("settings.SelectedRiff[#].Riff", "r2", 1);
    root.SetStringAt("settings.SelectedRiff[#].Set", "shift", 1);
    TDVContext::SetBlockThreshold(1);
    TStringList lines;
    root.SaveTagToStrings("settings", lines);
    TDVContext::SetBlockThreshold(3);
    Save(lines, dir / "Korvane.INI");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_demo_content DIR\n";
        return 1;
    }
    try {
        const fs::path dir = argv[1];
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (ec) {
            std::cerr << "cannot create " << dir.string() << ": " << ec.message() << "\n";
            return 1;
        }
        WriteDefaultsFile(dir);
        WriteModesFile(dir);
        WriteUserFile(dir);
    } catch (const Exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
