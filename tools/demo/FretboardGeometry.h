#pragma once
// Where the frets and strings lie on the fretboard picture; the configuration places the spots
// with the same numbers.

namespace demo {

inline constexpr int kFretboardWidth = 1016;
inline constexpr int kFretboardHeight = 171;
inline constexpr int kFrets = 25;  // fret 0 (open string) to 24

// x of fret wire k (0 is the nut, 24 the last wire).
[[nodiscard]] int FretWireX(int k);
// Centre x of a spot on fret f: between its two wires, left of the nut for an open string.
[[nodiscard]] int FretSpotX(int fret);
// y of string s (0 highest, at the top).
[[nodiscard]] int StringY(int string);

} // namespace demo
