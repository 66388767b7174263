#pragma once
// Values of the main window's unit that the fretboard display, the MIDI event routing and the
// riff MIDI loading share. One copy for the program. GUI thread only.
#include <array>

// Open-string notes of standard tuning, string 0 (highest) to string 5 (lowest).
inline constexpr std::array<int, 6> kStandardTuning = {64, 59, 55, 50, 45, 40};

// Open-string notes of the current mode, string 0 (highest) to string 5 (lowest); the game mode
// loading writes them, the fretboard reads them to find the fret of a note.
inline std::array<int, 6> _StringTuning = kStandardTuning;

// Number of upcoming-note steps: the number of "UpcSpot" pictures the fretboard found when it was
// made. Controllers 86 .. 85 + this number announce upcoming notes; 0 switches the feature off.
inline int _UpcomingSteps = 0;
