#pragma once
// The riffs' MIDI files: each note on the channel of its string (10 for the highest .. 15 for the
// lowest), preceded by controller 85 choosing its spot picture (34 + finger) and, for fretted
// notes, its finger label (the finger's number); controller 85 = 127 marks the riff's end.
#include "demo/DemoModel.h"
#include "demo/MidiFile.h"

#include <filesystem>
#include <vector>

namespace demo {

inline constexpr int kMarkerController = 85;
inline constexpr int kStopMarkerValue = 127;
inline constexpr int kSpotPictureBase = 34;

// The riff's channel events in tick order; the waves are rendered from these same events.
[[nodiscard]] std::vector<MidiEvent> RiffEvents(const DemoMode& mode, const DemoRiff& riff);

// "MIDI\<prefix>.mid" and its clip companion "MIDI\<prefix>_sa.mid" for every riff.
void WriteMidiFiles(const std::filesystem::path& dir);

} // namespace demo
