#pragma once
// Upcoming notes: a track of controller events that announces every note of a riff's MIDI ahead
// of time, in steps that come nearer to the note. The player reports them like any other event;
// the main window turns controllers 86 .. 85 + steps into "UPC_NOTEON" events for the fretboard.
//
// Thread: GUI thread (the riff MIDI loading). Nothing here throws.
#include <cstdint>

class MIDIData;
class TDVContext;

// Lead time in milliseconds from "UpcomingNoteInterval" of the settings context; 500 when the key
// is missing (or the context is null), 0 for a negative value.
[[nodiscard]] int UpcomingNoteInterval(TDVContext* settings);

// Appends to midi one track with, for every note-on (velocity above 0) of every track at tick T
// that lies more than lead = intervalMs * division * 1000 / tempo ticks into the riff, one
// controller (0xB0 | channel, 86 + i, note) at tick trunc(i * lead / steps + T - lead) for i = 0 ..
// steps - 1; so controller 86 is the earliest announcement and each step (steps - i) * lead /
// steps ticks ahead. The tempo is the first tempo record. Returns false, adding nothing, when
// steps is 0 or less (more than 42 count as 42, the controllers left), or when midi has no tempo, a tempo of 0 or a division of 0.
bool BuildUpcomingNotes(MIDIData& midi, int steps, int intervalMs);
