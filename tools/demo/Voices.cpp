#include "demo/Voices.h"

#include "demo/DemoModel.h"
#include "demo/DemoRandom.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

constexpr double kPi = 3.14159265358979323846;

} // namespace

double NoteFrequency(int midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

std::vector<float> PluckedString(double frequency, int frames, int releaseFrames, std::uint32_t seed,
                                 float brightness)
{
    // The delay line is one period long; its first fill is noise softened by a one-pole filter,
    // and the averaging loop filter makes high partials die first, as on a string.
    const int period = std::max(2, static_cast<int>(std::lround(kSampleRate / frequency)));
    std::vector<float> line(static_cast<std::size_t>(period));
    DemoRandom random(seed);
    float smooth = 0.0f;
    for (float& v : line) {
        smooth += brightness * (random.Next() - smooth);
        v = smooth;
    }
    float mean = 0.0f;
    for (float v : line)
        mean += v;
    mean /= static_cast<float>(period);
    for (float& v : line)
        v -= mean;

    const int total = frames + releaseFrames;
    std::vector<float> out(static_cast<std::size_t>(total));
    const float decay = 0.996f;
    std::size_t pos = 0;
    float previous = line[0];
    for (int i = 0; i < total; ++i) {
        const float current = line[pos];
        const float next = 0.5f * (current + previous) * decay;
        previous = current;
        line[pos] = next;
        pos = (pos + 1) % line.size();
        float gain = 1.6f;
        if (i < 40)
            gain *= static_cast<float>(i) / 40.0f;  // no click at the attack
        if (i >= frames)
            gain *= 1.0f - static_cast<float>(i - frames) / static_cast<float>(std::max(1, releaseFrames));
        out[static_cast<std::size_t>(i)] = current * gain;
    }
    return out;
}

std::vector<float> KickDrum()
{
    const int frames = kSampleRate * 3 / 10;
    std::vector<float> out(static_cast<std::size_t>(frames));
    double phase = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double freq = 45.0 + 85.0 * std::exp(-t * 30.0);
        phase += 2.0 * kPi * freq / kSampleRate;
        out[static_cast<std::size_t>(i)] = static_cast<float>(std::sin(phase) * std::exp(-t * 9.0));
    }
    return out;
}

std::vector<float> SnareDrum(std::uint32_t seed)
{
    const int frames = kSampleRate / 5;
    std::vector<float> out(static_cast<std::size_t>(frames));
    DemoRandom random(seed);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double tone = std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t * 25.0);
        const double noise = random.Next() * std::exp(-t * 18.0);
        out[static_cast<std::size_t>(i)] = static_cast<float>(0.45 * tone + 0.55 * noise);
    }
    return out;
}

std::vector<float> HiHat(std::uint32_t seed)
{
    const int frames = kSampleRate / 20;
    std::vector<float> out(static_cast<std::size_t>(frames));
    DemoRandom random(seed);
    float last = 0.0f;
    for (int i = 0; i < frames; ++i) {
        const float noise = random.Next();
        const float high = noise - last;  // a first difference keeps only the hiss
        last = noise;
        const double t = static_cast<double>(i) / kSampleRate;
        out[static_cast<std::size_t>(i)] = static_cast<float>(0.5 * high * std::exp(-t * 70.0));
    }
    return out;
}

} // namespace demo
