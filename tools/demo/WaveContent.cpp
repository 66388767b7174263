#include "demo/WaveContent.h"

#include "demo/DemoOutput.h"
#include "demo/MidiContent.h"
#include "demo/Voices.h"
#include "platform/system/Exception.h"
#include "sound/TWaveBuffer.h"

#include <map>
#include <utility>

namespace demo {

namespace {

constexpr int kRelease = kSampleRate / 25;  // 40 ms after a note's end

int FrameOfTick(const DemoMode& mode, std::uint32_t tick)
{
    return static_cast<int>(static_cast<long long>(tick) * StepFrames(mode) / kTicksPerStep);
}

void AddDrums(LoopMix& mix, const DemoMode& mode, int bar)
{
    const int s = StepFrames(mode);
    const int barStart = bar * kStepsPerBar * s;
    static const std::vector<float> kick = KickDrum();
    for (int k = 0; k < kStepsPerBar; ++k) {
        const int at = barStart + k * s;
        const float hat = (k % 2 == 0) ? 0.32f : 0.2f;
        mix.Add(HiHat(static_cast<std::uint32_t>(bar * 8 + k)), at, hat * 0.8f, hat);
        if (k == 2 || k == 6)
            mix.Add(SnareDrum(static_cast<std::uint32_t>(100 + bar * 8 + k)), at, 0.55f, 0.55f);
    }
    const std::vector<int> kicks = mode.dominantSevenths ? std::vector<int>{0, 3, 4} : std::vector<int>{0, 1, 4, 5};
    for (int k : kicks)
        mix.Add(kick, barStart + k * s, 0.9f, 0.9f);
}

void AddBass(LoopMix& mix, const DemoMode& mode, int bar)
{
    const int s = StepFrames(mode);
    const int root = mode.barRoots[static_cast<std::size_t>(bar)] - 12;
    // A walking boogie in quarter notes for the blues, a steady eighth-note pulse for rock.
    const std::vector<std::pair<int, int>> line = mode.dominantSevenths
        ? std::vector<std::pair<int, int>>{{0, 2}, {7, 2}, {9, 2}, {10, 2}}
        : std::vector<std::pair<int, int>>{{0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}};
    int step = 0;
    for (const auto& [interval, length] : line) {
        const auto note = PluckedString(NoteFrequency(root + interval), length * s - s / 8, kRelease,
                                        static_cast<std::uint32_t>(500 + bar * 16 + step), 0.25f);
        mix.Add(note, (bar * kStepsPerBar + step) * s, 0.75f, 0.75f);
        step += length;
    }
}

void AddRhythmGuitar(LoopMix& mix, const DemoMode& mode, int bar)
{
    const int s = StepFrames(mode);
    const int root = mode.barRoots[static_cast<std::size_t>(bar)];
    const std::vector<int> chord = mode.dominantSevenths ? std::vector<int>{12, 16, 19, 22} : std::vector<int>{12, 19, 24};
    const std::vector<int> hits = mode.dominantSevenths ? std::vector<int>{2, 6} : std::vector<int>{0, 4};
    for (int k : hits) {
        int strum = 0;
        for (int interval : chord) {
            const auto note = PluckedString(NoteFrequency(root + interval), s * 3 / 2, kRelease,
                                            static_cast<std::uint32_t>(900 + bar * 64 + k * 8 + interval), 0.5f);
            mix.Add(note, (bar * kStepsPerBar + k) * s + strum, 0.22f, 0.12f);
            strum += kSampleRate / 150;  // a downstroke crosses the strings in a few ms
        }
    }
}

void SaveWave(const LoopMix& mix, int peak, const std::filesystem::path& file)
{
    WAVEFORMATEX format{};
    InitWaveFormat(format, kSampleRate, 2, 16);
    const auto pcm = mix.ToPcm(peak);
    TWaveBuffer buffer(static_cast<std::uint32_t>(mix.Frames()), format, pcm.data());
    buffer.CreateWaveFile(file.string());
    const std::int32_t result = buffer.AppendToWaveFile();
    buffer.CloseWaveFile();
    if (result != 0)
        throw Exception("cannot write " + file.string());
    Report(file, std::to_string(mix.Frames()) + " frames, " +
                     std::to_string(mix.Frames() * 1000LL / kSampleRate) + " ms");
}

} // namespace

LoopMix GrooveMix(const DemoMode& mode)
{
    LoopMix mix(GrooveFrames(mode));
    for (int bar = 0; bar < kGrooveBars; ++bar) {
        AddDrums(mix, mode, bar);
        AddBass(mix, mode, bar);
        AddRhythmGuitar(mix, mode, bar);
    }
    return mix;
}

LoopMix RiffMix(const DemoMode& mode, const DemoRiff& riff)
{
    LoopMix mix(RiffFrames(mode, riff));
    std::map<std::pair<int, int>, std::uint32_t> sounding;  // (channel, note) -> note-on tick
    for (const MidiEvent& e : RiffEvents(mode, riff)) {
        const int type = e.status & 0xF0;
        const std::pair<int, int> key{e.status & 0x0F, e.data1};
        if (type == 0x90 && e.data2 > 0) {
            sounding[key] = e.tick;
        } else if (type == 0x80 || type == 0x90) {
            const auto it = sounding.find(key);
            if (it == sounding.end())
                continue;
            const int start = FrameOfTick(mode, it->second);
            const int length = FrameOfTick(mode, e.tick) - start;
            const auto note = PluckedString(NoteFrequency(e.data1), length, kRelease,
                                            static_cast<std::uint32_t>(e.data1 * 7919u + it->second), 0.7f);
            mix.Add(note, start, 0.9f, 1.0f);
            sounding.erase(it);
        }
    }
    return mix;
}

void WriteWaves(const std::filesystem::path& dir)
{
    const auto folder = Folder(dir, kWaveFolder);
    for (const DemoMode& mode : DemoModes()) {
        SaveWave(GrooveMix(mode), kGroovePeak, folder / mode.grooveFile);
        for (const DemoRiff& riff : mode.riffs)
            SaveWave(RiffMix(mode, riff), kRiffPeak, folder / (riff.prefix + ".wav"));
    }
}

} // namespace demo
