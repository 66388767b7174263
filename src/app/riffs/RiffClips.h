#pragma once
// The clips of the current riff: note groups of its clip MIDI file or equal slices of the
// groove's bar, the current clip, stepping through them, and the events reported while a clip
// plays (posted again when it ends, so its notes stay shown).
//
// Thread: GUI thread only. Nothing throws; a MIDI file without a usable tempo or division gives
// no clips.
#include "app/riffs/TRiffClip.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class MIDIData;
class TDVContext;
class TGameEnvObj;
struct RiffStruct;

class RiffClips {
public:
    // Events recorded while a clip plays: (environment event name, parameter).
    using TRecordedEvents = std::vector<std::pair<std::string, std::int32_t>>;

    // Greatest tick distance of a group when the configuration gives 0.
    static constexpr std::int32_t DefaultTickDistance = 50;
    // Clips this short or shorter are dropped.
    static constexpr std::int32_t MinClipMs = 20;

    // How a riff is cut into clips.
    struct TClipSettings {
        int step = 0;  // "StepAdvanceThroughClipsBy": 0 note groups, 1 to 4 slices of 1 .. 1/8 bar
        std::int32_t tickDistance = 0;  // "notegrp_tick_dist"
        std::int32_t beforeMs = 0;      // "notegrp_before[#]" at index step + 1
        std::int32_t afterMs = 0;       // "notegrp_after[#]" at index step + 1
    };

    // Reads the step from the "settings" context and the rest from the riff's "riff[#]" context;
    // a value the configuration lacks reads as 0.
    [[nodiscard]] static TClipSettings ReadSettings(TDVContext* settings, TDVContext* riff);

    // Replaces the clips by the note groups of midi: notes whose note-ons lie at most tickDistance
    // ticks after the group's first note-on, from that note-on to the last note-off of the group,
    // widened by beforeMs and afterMs and kept within 0..riffLengthMs. Times follow the file's
    // first tempo. A tick distance of 0 means DefaultTickDistance; a negative one groups only the
    // notes that start together. Returns the number of clips; 0 without a tempo or division.
    [[nodiscard]] int BuildNoteGroups(const MIDIData& midi, std::int32_t tickDistance, std::int32_t beforeMs,
                                      std::int32_t afterMs, std::int32_t riffLengthMs);
    // Replaces the clips by slices of 1 / (1 << sliceShift) of the bar, each starting where the
    // previous clip ended (after-time included), widened by beforeMs and afterMs, up to
    // riffLengthMs. Every slice advances by at least 1 ms, whatever the widths. Returns the
    // number of clips; 0 for a bar of 0 ms or a shift outside 0..30.
    [[nodiscard]] int BuildSlices(double barLengthMs, int sliceShift, std::int32_t beforeMs, std::int32_t afterMs,
                                  double riffLengthMs);

    // No clips, no current clip, no recorded events.
    void Clear();
    [[nodiscard]] const std::vector<TRiffClip>& Clips() const { return clips_; }
    [[nodiscard]] bool Empty() const { return clips_.empty(); }
    // The current clip's index, -1 for none.
    [[nodiscard]] int Current() const { return current_; }
    // null when no clip is current.
    [[nodiscard]] const TRiffClip* CurrentClip() const;
    // Makes the first clip current when none is; false when there are no clips.
    [[nodiscard]] bool EnsureCurrent();
    // The next clip (after the last the first) or the previous one (before the first the last)
    // becomes current; with none current, the first. False when there are no clips.
    [[nodiscard]] bool StepForward();
    [[nodiscard]] bool StepBack();

    // Records an event while a clip is current; does nothing otherwise.
    void Record(const std::string& name, std::int32_t value);
    [[nodiscard]] const TRecordedEvents& RecordedEvents() const { return recorded_; }
    void ClearRecordedEvents() { recorded_.clear(); }
    // The clip ended: "MIDIOFF" clears the displays, then every recorded event is posted again in
    // its order, so the clip's notes stay shown. The environment processes both batches at once.
    void EndClip(TGameEnvObj& env) const;

    // Loads the riff's MIDI file (appPath + record.midiFile) and its clip file into the record,
    // unless loadedKey says they are loaded for this riff and step; a different riff or step
    // first clears both. The clip file is the companion "_sa" file when step is 0 and it exists,
    // else the riff's file. addUpcoming, when set, extends the riff MIDI after it loaded.
    // Throws Exception "Error while loading Midi file: <file>"; loadedKey is then left empty.
    static void LoadRiffMidi(RiffStruct& record, const std::string& appPath, int step, std::string& loadedKey,
                             const std::function<void(MIDIData& riffMidi)>& addUpcoming = {});

    // The companion file of a riff's MIDI file: "_sa" inserted before the first "." of the file's
    // name (not of its folders), or appended when the name has none.
    [[nodiscard]] static std::string CompanionFileName(const std::string& midiFile);

private:
    std::vector<TRiffClip> clips_;
    int current_ = -1;
    TRecordedEvents recorded_;
};
