#pragma once
// WAV files built in the test code, so that each test shows its input.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TestFolder.h"

namespace wavfixture {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint16_t v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}
inline void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }
inline std::uint32_t Get32(const Bytes& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// One chunk: id, the size written into its header (by default the payload's) and the payload.
struct Chunk {
    std::string id;
    Bytes payload;
    std::int64_t declaredSize = -1;
};

inline Chunk Fmt(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::uint16_t tag = 1,
                 std::int32_t blockAlign = -1)
{
    Chunk c{"fmt ", {}};
    const std::uint16_t align = blockAlign >= 0 ? std::uint16_t(blockAlign) : std::uint16_t(bits / 8 * channels);
    Put16(c.payload, tag);
    Put16(c.payload, channels);
    Put32(c.payload, rate);
    Put32(c.payload, align * rate);
    Put16(c.payload, align);
    Put16(c.payload, bits);
    if (tag != 1)
        Put16(c.payload, 0);  // extra size of a non-PCM format
    return c;
}

inline Chunk Data16(const std::vector<std::int16_t>& samples)
{
    Chunk c{"data", {}};
    for (std::int16_t s : samples)
        Put16(c.payload, std::uint16_t(s));
    return c;
}

inline Chunk Data8(const std::vector<std::uint8_t>& samples) { return Chunk{"data", samples}; }

// "RIFF" size "WAVE" and the chunks in the order given, odd chunks padded.
inline Bytes Riff(const std::vector<Chunk>& chunks, const char* form = "WAVE", const char* riff = "RIFF")
{
    Bytes body;
    PutId(body, form);
    for (const Chunk& c : chunks) {
        PutId(body, c.id.c_str());
        Put32(body, c.declaredSize >= 0 ? std::uint32_t(c.declaredSize) : std::uint32_t(c.payload.size()));
        body.insert(body.end(), c.payload.begin(), c.payload.end());
        if (c.payload.size() & 1)
            body.push_back(0);
    }
    Bytes file;
    PutId(file, riff);
    Put32(file, std::uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// A test's own folder that takes files of bytes.
class TempDir : public TestFolder {
public:
    TempDir() : TestFolder("rt-sound-") {}
    std::string Write(const std::string& name, const Bytes& bytes) const
    {
        const std::string p = File(name);
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    }
};

inline Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace wavfixture
