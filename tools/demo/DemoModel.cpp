#include "demo/DemoModel.h"

namespace demo {

namespace {

// Standard tuning, highest string first.
constexpr std::array<int, 6> kStandard{64, 59, 55, 50, 45, 40};

std::vector<DemoBinding> Bindings(const std::vector<DemoRiff>& riffs)
{
    // Each riff on the top row unshifted and on the home row with Shift; Alt reaches the first
    // two riffs from the right-hand end of the top row.
    static const char* const kTop[] = {"Q", "W", "E", "R", "T", "Y"};
    static const char* const kHome[] = {"A", "S", "D", "F", "G", "H"};
    std::vector<DemoBinding> b;
    for (std::size_t i = 0; i < riffs.size() && i < std::size(kTop); ++i) {
        b.push_back({"INITIAL_", kTop[i], riffs[i].id});
        b.push_back({"SHIFT_", kHome[i], riffs[i].id});
    }
    if (riffs.size() >= 2) {
        b.push_back({"ALT_", "U", riffs[0].id});
        b.push_back({"ALT_", "I", riffs[1].id});
    }
    return b;
}

// Boogie double stops on the two lowest strings that hold the bar's chord: the root with its
// fifth, sixth, flat seventh and sixth again, a quarter note each.
std::vector<DemoNote> Boogie(const std::vector<char>& chords)
{
    std::vector<DemoNote> notes;
    for (std::size_t bar = 0; bar < chords.size(); ++bar) {
        // A on the low E string at the 5th fret; D and E on the A string.
        const int string = chords[bar] == 'A' ? 5 : 4;
        const int fret = chords[bar] == 'E' ? 7 : 5;
        const int step = static_cast<int>(bar) * kStepsPerBar;
        const int above[] = {2, 4, 5, 4};
        const int finger[] = {3, 4, 4, 4};
        for (int k = 0; k < 4; ++k) {
            notes.push_back({string, fret, step + 2 * k, 2, 1});
            notes.push_back({string - 1, fret + above[k], step + 2 * k, 2, finger[k]});
        }
    }
    return notes;
}

// A bass line in octaves, a half note each: the root on the A string, then its octave on the G.
std::vector<DemoNote> Octaves(const std::vector<char>& chords)
{
    std::vector<DemoNote> notes;
    for (std::size_t bar = 0; bar < chords.size(); ++bar) {
        const int fret = chords[bar] == 'A' ? 0 : chords[bar] == 'D' ? 5 : 7;
        const int step = static_cast<int>(bar) * kStepsPerBar;
        notes.push_back({4, fret, step, 4, fret == 0 ? 0 : 1});
        notes.push_back({2, fret + 2, step + 4, 4, fret == 0 ? 2 : 3});
    }
    return notes;
}

// The blues mode carries enough riffs for the riff list to be worth sorting and filtering: every
// difficulty, lengths from one bar to a whole twelve-bar chorus.
std::vector<DemoBinding> BluesBindings(const std::vector<DemoRiff>& riffs)
{
    // The plain set on the top row, the Shift set on the home row; Alt repeats the first riff on
    // its own key Q (one riff, the same key in two sets) and holds the last two riffs.
    static const char* const kTop[] = {"Q", "W", "E", "R", "T", "Y", "U", "I"};
    static const char* const kHome[] = {"A", "S", "D", "F"};
    static const char* const kAlt[] = {"A", "S"};
    std::vector<DemoBinding> b;
    std::size_t i = 0;
    for (const char* key : kTop)
        if (i < riffs.size())
            b.push_back({"INITIAL_", key, riffs[i++].id});
    for (const char* key : kHome)
        if (i < riffs.size())
            b.push_back({"SHIFT_", key, riffs[i++].id});
    b.push_back({"ALT_", "Q", riffs[0].id});
    for (const char* key : kAlt)
        if (i < riffs.size())
            b.push_back({"ALT_", key, riffs[i++].id});
    return b;
}

DemoMode Blues()
{
    DemoMode m;
    m.id = "blues";
    m.comboTitle = "Blues in A";
    m.dropTitle = "Blues in A - 100 BPM";
    m.grooveFile = "blues_groove.wav";
    m.bpm = 100;
    m.barRoots = {45, 50, 45, 52};  // A7 D7 A7 E7
    m.dominantSevenths = true;
    m.riffs = {
        {"BoxLick", "blues01", "Box lick", "Down the pentatonic box", "Easy", "lead", 0, 1,
         {{2, 7, 0, 1, 3}, {2, 5, 1, 1, 1}, {3, 7, 2, 1, 3}, {3, 5, 3, 1, 1},
          {4, 7, 4, 1, 3}, {4, 5, 5, 1, 1}, {3, 7, 6, 2, 3}}},
        {"Turnaround", "blues02", "Turnaround", "Two bars back to the top", "Medium", "lead", 0, 2,
         {{0, 5, 0, 2, 1}, {1, 5, 2, 2, 1}, {1, 8, 4, 1, 4}, {1, 5, 5, 1, 1}, {2, 7, 6, 2, 3},
          {2, 5, 8, 1, 1}, {3, 7, 9, 3, 3}, {4, 7, 12, 4, 3}}},
        {"Boogie", "blues03", "Boogie", "Shuffle double stops on the low strings", "Easy", "rhythm", 0, 1,
         {{5, 5, 0, 2, 1}, {4, 7, 0, 2, 3}, {5, 5, 2, 2, 1}, {4, 9, 2, 2, 4},
          {5, 5, 4, 2, 1}, {4, 7, 4, 2, 3}, {5, 5, 6, 2, 1}, {4, 9, 6, 2, 4}}},
        {"Answer", "blues04", "Answer phrase", "Starts at once when triggered", "Medium", "fill", 1, 1,
         {{1, 8, 0, 2, 4}, {1, 5, 2, 1, 1}, {2, 7, 3, 1, 3}, {2, 5, 4, 2, 1}, {3, 7, 6, 2, 3}}},
        {"Shuffle", "blues05", "Shuffle", "Boogie through the whole groove", "Medium", "rhythm", 0, 4,
         Boogie({'A', 'D', 'A', 'E'})},
        {"Chorus", "blues06", "Twelve-bar chorus", "A whole chorus: I, IV and V", "Hard", "rhythm", 0, 12,
         Boogie({'A', 'A', 'A', 'A', 'D', 'D', 'A', 'A', 'E', 'D', 'A', 'E'})},
        {"DoubleStops", "blues07", "Double stops", "Sixths sliding down the G and high E strings", "Medium", "lead", 0, 1,
         {{2, 9, 0, 2, 2}, {0, 9, 0, 2, 3}, {2, 8, 2, 2, 1}, {0, 8, 2, 2, 2},
          {2, 7, 4, 2, 1}, {0, 7, 4, 2, 1}, {2, 6, 6, 2, 1}, {0, 5, 6, 2, 1}}},
        {"Climb", "blues08", "Chromatic climb", "Walks up to the fifth, one fret at a time", "Easy", "fill", 1, 1,
         {{4, 0, 0, 1, 0}, {4, 1, 1, 1, 1}, {4, 2, 2, 1, 2}, {4, 3, 3, 1, 3},
          {4, 4, 4, 1, 4}, {3, 0, 5, 1, 0}, {3, 1, 6, 1, 1}, {3, 2, 7, 1, 2}}},
        {"Intro", "blues09", "Classic intro", "Falling double stops over the open A", "Hard", "lead", 1, 2,
         {{4, 0, 0, 8, 0}, {2, 10, 0, 1, 3}, {0, 10, 0, 1, 3}, {2, 9, 1, 1, 2}, {0, 9, 1, 1, 2},
          {2, 8, 2, 1, 1}, {0, 8, 2, 1, 1}, {2, 7, 3, 1, 1}, {0, 7, 3, 1, 1}, {2, 6, 4, 2, 1},
          {0, 5, 4, 2, 1}, {1, 5, 8, 2, 1}, {2, 5, 10, 2, 1}, {3, 7, 12, 2, 3}, {4, 0, 14, 2, 0}}},
        {"Ending", "blues10", "Big ending", "Chromatic walk down to the last chord", "Medium", "fill", 1, 2,
         {{0, 8, 0, 1, 4}, {0, 7, 1, 1, 3}, {0, 6, 2, 1, 2}, {0, 5, 3, 1, 1}, {1, 8, 4, 1, 4},
          {1, 7, 5, 1, 3}, {1, 6, 6, 1, 2}, {1, 5, 7, 1, 1}, {4, 0, 8, 8, 0}, {3, 5, 8, 8, 2},
          {2, 6, 8, 8, 3}}},
        {"Run", "blues11", "Pentatonic run", "Eighth notes up the box and back", "Expert", "lead", 0, 2,
         {{5, 5, 0, 1, 1}, {5, 8, 1, 1, 4}, {4, 5, 2, 1, 1}, {4, 7, 3, 1, 3}, {3, 5, 4, 1, 1},
          {3, 7, 5, 1, 3}, {2, 5, 6, 1, 1}, {2, 7, 7, 1, 3}, {1, 5, 8, 1, 1}, {1, 8, 9, 1, 4},
          {0, 5, 10, 1, 1}, {0, 8, 11, 1, 4}, {1, 8, 12, 1, 4}, {1, 5, 13, 1, 1}, {2, 7, 14, 2, 3}}},
        {"OctaveBass", "blues12", "Octave bass", "Eight bars of roots an octave apart", "Easy", "power", 0, 8,
         Octaves({'A', 'D', 'A', 'E', 'A', 'D', 'A', 'E'})},
        {"Stinger", "blues13", "Stinger", "One short chord stab", "Easy", "fill", 1, 1,
         {{4, 0, 0, 2, 0}, {3, 5, 0, 2, 2}, {2, 6, 0, 2, 3}, {1, 5, 0, 2, 1}}, false},
        {"Hybrid", "blues14", "String skipper", "Wide skips across the box", "Expert", "lead", 1, 1,
         {{5, 5, 0, 1, 1}, {3, 7, 1, 1, 3}, {4, 7, 2, 1, 3}, {2, 7, 3, 1, 3},
          {3, 5, 4, 1, 1}, {1, 5, 5, 1, 1}, {2, 5, 6, 2, 1}}},
    };
    m.bindings = BluesBindings(m.riffs);
    return m;
}

DemoMode Rock()
{
    DemoMode m;
    m.id = "rock";
    m.comboTitle = "Drop D Rock";
    m.dropTitle = "Drop D Rock - 120 BPM";
    m.grooveFile = "rock_groove.wav";
    m.bpm = 120;
    m.alternateTuning = true;
    m.tuningOffset = {2, 0, 0, 0, 0, 0};  // lowest string down to D
    m.barRoots = {38, 38, 36, 43};        // D5 D5 C5 G5
    m.riffs = {
        {"Chug", "rock01", "Chug", "One-finger power chords", "Easy", "power", 0, 1,
         {{5, 0, 0, 1, 0}, {4, 0, 0, 1, 0}, {3, 0, 0, 1, 0},
          {5, 0, 1, 1, 0}, {4, 0, 1, 1, 0}, {3, 0, 1, 1, 0},
          {5, 3, 2, 1, 1}, {4, 3, 2, 1, 1}, {3, 3, 2, 1, 1},
          {5, 0, 4, 1, 0}, {4, 0, 4, 1, 0}, {3, 0, 4, 1, 0},
          {5, 5, 6, 1, 1}, {4, 5, 6, 1, 1}, {3, 5, 6, 1, 1},
          {5, 3, 7, 1, 1}, {4, 3, 7, 1, 1}, {3, 3, 7, 1, 1}}},
        {"Octaves", "rock02", "Octave run", "Two bars of octaves", "Medium", "rhythm", 0, 2,
         {{5, 0, 0, 1, 0}, {3, 0, 1, 1, 0}, {5, 3, 2, 1, 1}, {3, 3, 3, 1, 3}, {5, 5, 4, 1, 1},
          {3, 5, 5, 1, 3}, {5, 3, 6, 2, 1}, {5, 0, 8, 1, 0}, {3, 0, 9, 1, 0}, {5, 7, 10, 1, 1},
          {3, 7, 11, 1, 3}, {5, 5, 12, 2, 1}, {5, 3, 14, 2, 1}}},
        {"LeadFill", "rock03", "Lead fill", "High pentatonic fill, starts at once", "Hard", "lead", 1, 1,
         {{2, 10, 0, 1, 1}, {2, 12, 1, 1, 3}, {1, 10, 2, 1, 1}, {1, 13, 3, 1, 4},
          {0, 10, 4, 1, 1}, {0, 12, 5, 1, 3}, {1, 10, 6, 2, 1}}},
    };
    m.bindings = Bindings(m.riffs);
    return m;
}

} // namespace

const std::vector<DemoMode>& DemoModes()
{
    static const std::vector<DemoMode> modes{Blues(), Rock()};
    return modes;
}

std::array<int, 6> OpenStrings(const DemoMode& mode)
{
    std::array<int, 6> open = kStandard;
    if (mode.alternateTuning)
        for (int i = 0; i < 6; ++i)
            open[5 - i] = kStandard[5 - i] - mode.tuningOffset[i];
    return open;
}

int NoteOf(const DemoMode& mode, const DemoNote& note)
{
    return OpenStrings(mode)[note.string] + note.fret;
}

int StepFrames(const DemoMode& mode)
{
    return kSampleRate * 30 / mode.bpm;
}

int RiffFrames(const DemoMode& mode, const DemoRiff& riff)
{
    return StepFrames(mode) * kStepsPerBar * riff.bars;
}

int GrooveFrames(const DemoMode& mode)
{
    return StepFrames(mode) * kStepsPerBar * kGrooveBars;
}

int TempoMicroseconds(const DemoMode& mode)
{
    return 60'000'000 / mode.bpm;
}

std::string PagePrefix(const DemoRiff& riff, int bar)
{
    return bar == 0 ? riff.prefix : riff.prefix + "_" + std::to_string(bar + 1);
}

std::string PageId(int bar)
{
    return bar == 0 ? std::string() : std::to_string(bar * kStepsPerBar + 1);
}

} // namespace demo
