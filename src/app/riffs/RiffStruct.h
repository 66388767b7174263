#pragma once
// The riff state the main window keeps for one game mode: its current riff, the binding set the
// riff was chosen in, the riff's MIDI data and the transcription positions that the position
// marker follows. A mode keeps its record while other modes are used, so coming back restores
// its riff.
//
// Thread: GUI thread only. Plain data: copyable, nothing throws.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/TShiftState.h"
#include "sound/midi/MIDIData.h"

struct RiffStruct {
    // The transcription page that is shown and its positions.
    struct TNotationRecord {
        int page = 1;   // the page's number: the index, counted from 1, of its first step
        int count = 0;  // steps on the page
        int first = 0;  // pixel position of the page's first step
        int last = 0;   // pixel position of the page's last step
        std::vector<std::int32_t> positions;
    };

    MIDIData clipMidi;  // the riff's "_sa" companion file
    MIDIData riffMidi;  // the riff's MIDI file, loaded on demand
    // Per page number: the pixel positions of its steps, in order.
    std::map<int, std::vector<std::int32_t>> notationPositions;
    std::string riffName;  // empty until a riff is selected
    std::string midiFile;  // "MIDI\" + file prefix + ".mid"
    TShiftState bindingSet = 0;  // only ssShift and ssAlt matter
    std::int32_t startPosition = 0;  // ms into the riff's wave when it was selected
    float riffLength = 0;  // ms
    int size = 0;  // position steps of the riff
    float stepLength = 0;  // ms per step; 0 when the riff has no steps
    TNotationRecord notation;
};
