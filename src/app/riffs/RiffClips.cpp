#include "app/riffs/RiffClips.h"

#include "app/riffs/RiffStruct.h"
#include "app/game/TGameEnvObj.h"
#include "config/TDVContext.h"
#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "sound/midi/MIDIData.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::uint32_t kNoNote = 0xFFFFF;  // later than any note a riff file holds

constexpr const char* kMidiLoadError = "Error while loading Midi file: ";

void LoadMidi(MIDIData& midi, const std::string& fileName)
{
    bool loaded = false;
    try {
        loaded = midi.LoadFromFile(ResolveFileName(fileName));
    } catch (const Exception&) {
        loaded = false;
    }
    if (!loaded)
        throw Exception(kMidiLoadError + ResolveFileName(fileName));
}

bool IsNoteOn(const MIDIEvent& e) { return e.GetType() == 0x90 && e.GetData2() != 0; }

bool IsNoteOffOf(const MIDIEvent& e, const MIDIEvent& on)
{
    const bool off = e.GetType() == 0x80 || (e.GetType() == 0x90 && e.GetData2() == 0);
    return off && e.GetChannel() == on.GetChannel() && e.GetData1() == on.GetData1();
}

// a * b / c rounded to the nearest, as the system's MulDiv does.
std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    const std::int64_t p = a * b;
    return (p >= 0 ? p + c / 2 : p - c / 2) / c;
}

std::int32_t ClampMs(double ms)
{
    if (ms >= std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (ms <= std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(ms);
}

} // namespace

RiffClips::TClipSettings RiffClips::ReadSettings(TDVContext* settings, TDVContext* riff)
{
    const auto read = [](auto get) -> std::int32_t {
        try {
            return get();
        } catch (const Exception&) {
            return 0;
        }
    };
    TClipSettings s;
    if (settings)
        s.step = read([&] { return settings->GetInteger("StepAdvanceThroughClipsBy"); });
    if (riff) {
        s.tickDistance = read([&] { return riff->GetInteger("notegrp_tick_dist"); });
        if (s.step >= 0) {
            s.beforeMs = read([&] { return riff->GetIntegerAt("notegrp_before[#]", s.step + 1); });
            s.afterMs = read([&] { return riff->GetIntegerAt("notegrp_after[#]", s.step + 1); });
        }
    }
    return s;
}

int RiffClips::BuildNoteGroups(const MIDIData& midi, std::int32_t tickDistance, std::int32_t beforeMs,
                               std::int32_t afterMs, std::int32_t riffLengthMs)
{
    Clear();
    const TempoEvent* tempoEvent = midi.NextTempoEvent(nullptr);
    const std::int64_t division = midi.GetDivision();
    if (tempoEvent == nullptr || tempoEvent->tempo == 0 || division == 0)
        return 0;
    const std::int64_t tempo = tempoEvent->tempo;
    const std::int64_t distance = tickDistance == 0 ? DefaultTickDistance : std::max<std::int32_t>(tickDistance, 0);

    const std::size_t trackCount = midi.GetTrackCount();
    std::vector<std::size_t> cursors(trackCount, 0);
    for (;;) {
        std::uint32_t t0 = kNoNote;
        for (std::size_t t = 0; t < trackCount; ++t) {
            const auto& events = midi.GetTrack(t)->GetEvents();
            for (std::size_t i = cursors[t]; i < events.size(); ++i)
                if (IsNoteOn(events[i])) {
                    t0 = std::min(t0, events[i].GetTick());
                    break;
                }
        }
        if (t0 == kNoNote)
            break;

        // The group: every note-on within the distance, in every track; the cursors move past
        // each event looked at, so every round consumes at least the note-on at t0.
        struct Member {
            std::size_t track;
            std::size_t index;
        };
        std::vector<Member> group;
        for (std::size_t t = 0; t < trackCount; ++t) {
            const auto& events = midi.GetTrack(t)->GetEvents();
            std::size_t& i = cursors[t];
            while (i < events.size() && std::int64_t{events[i].GetTick()} - t0 <= distance) {
                if (IsNoteOn(events[i]))
                    group.push_back({t, i});
                ++i;
            }
        }
        if (group.empty())
            break;

        std::uint32_t startTick = kNoNote;
        std::int64_t endTick = -1;
        for (const Member& m : group) {
            const auto& events = midi.GetTrack(m.track)->GetEvents();
            const MIDIEvent& on = events[m.index];
            startTick = std::min(startTick, on.GetTick());
            for (std::size_t i = m.index + 1; i < events.size(); ++i)
                if (IsNoteOffOf(events[i], on)) {
                    endTick = std::max<std::int64_t>(endTick, events[i].GetTick());
                    break;
                }
        }
        if (endTick < 0)
            continue;

        for (std::size_t t = 0; t < trackCount; ++t) {
            const auto& events = midi.GetTrack(t)->GetEvents();
            while (cursors[t] < events.size() && events[cursors[t]].GetTick() < endTick)
                ++cursors[t];
        }
        const std::int64_t start = std::max<std::int64_t>(MulDiv(tempo, startTick, division * 1000) - beforeMs, 0);
        const std::int64_t end = std::min<std::int64_t>(MulDiv(tempo, endTick, division * 1000) + afterMs, riffLengthMs);
        if (end - start > MinClipMs)
            clips_.push_back(TRiffClip::FromMs(static_cast<std::int32_t>(start), static_cast<std::int32_t>(end)));
    }
    return static_cast<int>(clips_.size());
}

int RiffClips::BuildSlices(double barLengthMs, int sliceShift, std::int32_t beforeMs, std::int32_t afterMs,
                           double riffLengthMs)
{
    Clear();
    if (!(barLengthMs > 0) || sliceShift < 0 || sliceShift > 30 || !(riffLengthMs > 0))
        return 0;
    const double slice = barLengthMs / static_cast<double>(1 << sliceShift);
    const std::int32_t lengthMs = ClampMs(std::trunc(riffLengthMs));
    double t = 0;
    while (t < riffLengthMs) {
        const std::int32_t start = std::max(ClampMs(std::trunc(t - beforeMs)), 0);
        const std::int32_t end = std::min(ClampMs(std::trunc(t + slice + afterMs)), lengthMs);
        if (std::int64_t{end} - start > MinClipMs)
            clips_.push_back(TRiffClip::FromMs(start, end));
        // A negative after-time, or the end clamped to a riff length with a fraction, would
        // otherwise leave the cursor where it is for ever.
        t = std::max(static_cast<double>(end), t + 1.0);
    }
    return static_cast<int>(clips_.size());
}

void RiffClips::Clear()
{
    clips_.clear();
    current_ = -1;
    recorded_.clear();
}

const TRiffClip* RiffClips::CurrentClip() const
{
    if (current_ < 0 || current_ >= static_cast<int>(clips_.size()))
        return nullptr;
    return &clips_[static_cast<std::size_t>(current_)];
}

bool RiffClips::EnsureCurrent()
{
    if (clips_.empty())
        return false;
    if (current_ < 0 || current_ >= static_cast<int>(clips_.size()))
        current_ = 0;
    return true;
}

bool RiffClips::StepForward()
{
    if (clips_.empty())
        return false;
    const int n = static_cast<int>(clips_.size());
    current_ = current_ < 0 || current_ >= n ? 0 : (current_ + 1) % n;
    return true;
}

bool RiffClips::StepBack()
{
    if (clips_.empty())
        return false;
    const int n = static_cast<int>(clips_.size());
    current_ = current_ < 0 || current_ >= n ? 0 : (current_ + n - 1) % n;
    return true;
}

void RiffClips::Record(const std::string& name, std::int32_t value)
{
    if (current_ >= 0)
        recorded_.emplace_back(name, value);
}

std::string RiffClips::CompanionFileName(const std::string& midiFile)
{
    const std::size_t slash = midiFile.find_last_of("\\/");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = midiFile.find('.', nameStart);
    if (dot == std::string::npos)
        return midiFile + "_sa";
    return midiFile.substr(0, dot) + "_sa" + midiFile.substr(dot);
}

void RiffClips::EndClip(TGameEnvObj& env) const
{
    env.PostEvent("MIDIOFF", 0);
    env.ProcessEvents();
    for (const auto& [name, value] : recorded_)
        env.PostEvent(name, value);
    env.ProcessEvents();
}

void RiffClips::LoadRiffMidi(RiffStruct& record, const std::string& appPath, int step, std::string& loadedKey,
                             const std::function<void(MIDIData&)>& addUpcoming)
{
    const std::string key = record.riffName + std::to_string(step);
    if (key != loadedKey) {
        record.riffMidi.Clear();
        record.clipMidi.Clear();
        loadedKey.clear();
    }
    if (record.midiFile.empty() || key == loadedKey)
        return;
    const std::string riffFile = appPath + record.midiFile;
    LoadMidi(record.riffMidi, riffFile);
    if (addUpcoming)
        addUpcoming(record.riffMidi);
    std::string clipFile = riffFile;
    if (step == 0) {
        const std::string companion = appPath + CompanionFileName(record.midiFile);
        if (FileExists(companion))
            clipFile = companion;
    }
    LoadMidi(record.clipMidi, clipFile);
    loadedKey = key;
}
