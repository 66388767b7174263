#pragma once
// One track of a MIDI file: its channel events in file order (until sorted). Meta records found
// while reading go to the MIDIData being read. GUI thread; no locking.
#include "sound/midi/MIDIEvent.h"
#include "sound/midi/Persist.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class MIDIData;

class MIDITrack : public Persist {
public:
    // Reads one "MTrk" chunk up to its end-of-track meta event; meta records are checked as in a
    // whole file and then dropped. False at the first malformed or short element.
    [[nodiscard]] bool Read(MIDIStream* stream) override;
    // The same, handing tempo, time and key signatures to metaTarget.
    [[nodiscard]] bool Read(MIDIStream* stream, MIDIData& metaTarget);
    // Writing is not supported: writes nothing and returns true.
    bool Write(MIDIStream* stream) override;
    void Clear() override { events_.clear(); }

    void AddEvent(const MIDIEvent& event) { events_.push_back(event); }
    // null gives the first event, an event of this track the next one, the last one null.
    // The pointer stays valid until the track changes.
    [[nodiscard]] const MIDIEvent* NextEvent(const MIDIEvent* previous) const;
    // The number of events whose type (status & 0xF0) is one of the count types given, or of all
    // events when types is null or count is 0.
    [[nodiscard]] std::size_t CountEvents(const std::uint8_t* types, std::size_t count) const;
    // Orders the events with MIDIEventLess; events that compare equal keep their order.
    void SortEvents();
    [[nodiscard]] const std::vector<MIDIEvent>& GetEvents() const { return events_; }

private:
    std::vector<MIDIEvent> events_;
};

// Reads a variable-length quantity into value; returns the number of bytes read (1 to 4), or 0
// when the stream ends first or the quantity runs longer than four bytes.
[[nodiscard]] std::size_t ReadVarLen(MIDIStream* stream, std::uint32_t& value);
