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
    };
    m.bindings = Bindings(m.riffs);
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
