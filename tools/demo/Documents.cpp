#include "demo/Documents.h"

#include "demo/DemoKeyboard.h"
#include "demo/DemoModel.h"
#include "demo/DemoOutput.h"
#include "demo/HotKeyHelp.h"

#include <map>

namespace demo {

namespace {

std::string KeysOf(const DemoMode& mode, const std::string& riff)
{
    static const std::map<std::string, std::string> prefix{{"INITIAL_", ""}, {"SHIFT_", "Shift+"}, {"ALT_", "Alt+"}};
    std::string keys;
    for (const DemoBinding& b : mode.bindings)
        if (b.riff == riff)
            keys += (keys.empty() ? "" : ", ") + prefix.at(b.set) + b.key;
    return keys;
}

void AddModes(TStringList& t)
{
    for (const DemoMode& mode : DemoModes()) {
        t.Add("  " + mode.dropTitle + (mode.alternateTuning ? " (drop D tuning)" : ""));
        for (const DemoRiff& riff : mode.riffs)
            t.Add("    " + riff.title + " - " + riff.description + " (" + std::to_string(riff.bars) +
                  (riff.bars == 1 ? " bar" : " bars") + "; keys " + KeysOf(mode, riff.id) + ")");
    }
}

} // namespace

void WriteReadme(const std::filesystem::path& dir)
{
    TStringList t;
    for (const char* line : {
             "Korvane 2 - demo content",
             "========================",
             "",
             "This folder holds everything the riff trainer reads: the defaults \"Korvane.DEF\"",
             "(with the game modes in \"DemoModes.inc\"), the skin pictures and transcription pages",
             "under \"Pics01\", the grooves and riffs under \"wavs\" and the riffs' MIDI files under",
             "\"MIDI\". Your own settings are kept in \"Korvane.INI\", which the program writes when",
             "it closes; delete it (or use \"Reset to default\" in the preferences) to start afresh.",
             "",
             "Every sound, picture and MIDI file here is generated, so it can be shared freely.",
             "",
             "Game modes and riffs:",
         })
        t.Add(line);
    AddModes(t);
    t.Add("");
    t.Add("Press Play (F4) to start the rhythm section, then hold a riff key to play along.");
    SaveLines(t, dir / "readme.txt");
}

void WriteHelpFile(const std::filesystem::path& dir)
{
    TStringList t;
    for (const char* line : {
             "Korvane 2 help",
             "==============",
             "",
             "Getting started",
             "  Choose a game mode with the mode button at the top. Press Play (F4) to start the",
             "  rhythm section: drums, bass and rhythm guitar loop over four bars. Hold a riff key",
             "  on your keyboard, or click a key on the on-screen keyboard, to play a riff along.",
             "  The fretboard shows the notes being played, the notation area the transcription.",
             "",
             "Binding sets",
             "  Hold Shift or Alt (or click SHIFT / ALT on the on-screen keyboard) to reach more",
             "  riffs. Each key shows the colour of the riff bound to it.",
             "",
             "Starting riffs",
             "  Riffs locked to the groove join at the groove's position. Hold Ctrl while pressing",
             "  a riff key to start the riff at the nearest beat instead (see Preferences).",
             "",
             "Hot keys",
             "  What each key does alone and with Shift, Alt or Ctrl held:",
         })
        t.Add(line);
    for (const std::string& line : HotKeyHelpLines())
        t.Add(line);
    for (const char* line : {
             "",
             "Volume",
             "  The RHYTHM slider sets the rhythm section, the SOLO slider the riffs. The Mixer",
             "  button opens the desktop's volume mixer.",
             "",
             "Game modes in this content:",
         })
        t.Add(line);
    AddModes(t);
    SaveLines(t, dir / "korvane.hlp");
}

} // namespace demo
