#pragma once
// A Standard MIDI File in memory: the division, the tempo, time-signature and key-signature
// records of all tracks, and the tracks with their channel events. Only reading exists. Used on
// the GUI thread; the Player copies what it needs, so the data may change once Prepare returns.
#include "sound/midi/KeySigEvent.h"
#include "sound/midi/MIDITrack.h"
#include "sound/midi/Persist.h"
#include "sound/midi/TempoEvent.h"
#include "sound/midi/TimeSigEvent.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MIDIData : public Persist {
public:
    MIDIData() = default;
    MIDIData(const MIDIData& other);
    MIDIData& operator=(const MIDIData& other);
    MIDIData(MIDIData&&) noexcept = default;
    MIDIData& operator=(MIDIData&&) noexcept = default;
    ~MIDIData() override = default;

    // Reads the file through the class library's file stream. Throws Exception when the file
    // cannot be opened; false when its contents are not a readable MIDI file.
    [[nodiscard]] bool LoadFromFile(const std::string& name);
    // Clears, then reads the header chunk and every announced track. False for a null stream and
    // at the first malformed or short element (what was read so far stays).
    [[nodiscard]] bool Read(MIDIStream* stream) override;
    // Writing is not supported: writes nothing and returns true.
    bool Write(MIDIStream* stream) override;
    void Clear() override;

    // Ticks per quarter note as stored in the header; 0 before a file was read.
    [[nodiscard]] std::uint16_t GetDivision() const { return division_; }
    [[nodiscard]] std::size_t GetTrackCount() const { return tracks_.size(); }
    // null when index is out of range; the track belongs to this object.
    [[nodiscard]] MIDITrack* GetTrack(std::size_t index) const;
    // Appends a copy of the track.
    void AddTrack(const MIDITrack& track);

    // null gives the first tempo record, a record of this object the next one, the last one null.
    [[nodiscard]] const TempoEvent* NextTempoEvent(const TempoEvent* previous) const;
    [[nodiscard]] const std::vector<TempoEvent>& GetTempoEvents() const { return tempoEvents_; }
    [[nodiscard]] const std::vector<TimeSigEvent>& GetTimeSigEvents() const { return timeSigEvents_; }
    [[nodiscard]] const std::vector<KeySigEvent>& GetKeySigEvents() const { return keySigEvents_; }

    // Append a record from a meta event's data: false, and nothing kept, unless the length is
    // exactly 3, 4 and 2 bytes; a tempo of 0 is refused too, as no clock can run at it.
    [[nodiscard]] bool AddTempoEvent(std::uint32_t tick, const std::uint8_t* data, std::size_t length);
    [[nodiscard]] bool AddTimeSigEvent(std::uint32_t tick, const std::uint8_t* data, std::size_t length);
    [[nodiscard]] bool AddKeySigEvent(std::uint32_t tick, const std::uint8_t* data, std::size_t length);

private:
    std::uint16_t division_ = 0;
    std::vector<TempoEvent> tempoEvents_;
    std::vector<TimeSigEvent> timeSigEvents_;
    std::vector<KeySigEvent> keySigEvents_;
    std::vector<std::unique_ptr<MIDITrack>> tracks_;
};
