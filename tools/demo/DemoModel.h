#pragma once
// The musical content of the demo: its game modes, their grooves and riffs, written once here so
// that the configuration, the waves, the MIDI files and the transcription pages all agree.
#include <array>
#include <string>
#include <vector>

namespace demo {

inline constexpr int kSampleRate = 44100;
inline constexpr int kDivision = 480;     // MIDI ticks per quarter note
inline constexpr int kStepsPerBar = 8;    // a riff is counted in eighth notes
inline constexpr int kTicksPerStep = kDivision / 2;
inline constexpr int kGrooveBars = 4;
inline constexpr int kFirstDisplayChannel = 10;  // string 0 (highest) plays on channel 10

// One note of a riff: where it is played and when, in eighth-note steps from the riff's start.
struct DemoNote {
    int string = 0;  // 0 highest .. 5 lowest
    int fret = 0;
    int step = 0;
    int length = 1;  // steps
    int finger = 0;  // 0 open string, 1 index .. 4 little finger
};

struct DemoRiff {
    std::string id;           // entry ID of the mode's "riff" list
    std::string prefix;       // base name of its wave, MIDI file and pages
    std::string title;
    std::string description;
    std::string difficulty;
    std::string colorScheme;
    int type = 0;             // 0 locked to the groove, 1 starts from its beginning
    int bars = 1;             // one transcription page per bar
    std::vector<DemoNote> notes;
    bool thumbnail = true;    // false: no small page picture for the riff list
};

struct DemoBinding {
    std::string set;  // "INITIAL_", "SHIFT_" or "ALT_"
    std::string key;  // on-screen key name
    std::string riff;
};

struct DemoMode {
    std::string id;
    std::string comboTitle;
    std::string dropTitle;
    std::string grooveFile;
    int bpm = 120;
    bool alternateTuning = false;
    std::array<int, 6> tuningOffset{};       // semitones down, lowest string first
    std::array<int, kGrooveBars> barRoots{}; // bass note of each groove bar (MIDI note)
    bool dominantSevenths = false;           // rhythm guitar plays 7th chords, else power chords
    std::vector<DemoRiff> riffs;
    std::vector<DemoBinding> bindings;
};

// The modes in list order.
[[nodiscard]] const std::vector<DemoMode>& DemoModes();

// Open-string notes, highest string first, for the mode's tuning.
[[nodiscard]] std::array<int, 6> OpenStrings(const DemoMode& mode);
[[nodiscard]] int NoteOf(const DemoMode& mode, const DemoNote& note);

// Frames of one eighth-note step, and of a riff or the groove; tempos are chosen so these are
// whole numbers and the loops close exactly.
[[nodiscard]] int StepFrames(const DemoMode& mode);
[[nodiscard]] int RiffFrames(const DemoMode& mode, const DemoRiff& riff);
[[nodiscard]] int GrooveFrames(const DemoMode& mode);
// Microseconds per quarter note.
[[nodiscard]] int TempoMicroseconds(const DemoMode& mode);

// The file prefix of a riff's page that begins with bar `bar` (0-based), and the ID of its entry
// in the riff's "file_prefix" list (empty for the first page: the list's default value).
[[nodiscard]] std::string PagePrefix(const DemoRiff& riff, int bar);
[[nodiscard]] std::string PageId(int bar);

} // namespace demo
