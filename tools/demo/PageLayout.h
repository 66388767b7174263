#pragma once
// The layout of a transcription page: one bar of tablature whose eight steps start at fixed x
// positions. The configuration's position arrays and the drawn pages use the same numbers.

namespace demo {

inline constexpr int kPageWidth = 1000;
inline constexpr int kPageHeight = 200;

// x where step k (0 .. 8) of the page's bar begins; k = 8 is the closing bar line.
[[nodiscard]] int PageStepX(int k);
// y of tab line s (0 highest string).
[[nodiscard]] int PageLineY(int string);

} // namespace demo
