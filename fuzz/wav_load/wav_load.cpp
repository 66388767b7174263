// Arbitrary bytes as a WAV file through the wave container's load: it either stores a wave or
// throws the class library's exception; it never crashes, leaks or hangs.
#include "platform/system/Exception.h"
#include "sound/TWaveContainer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

const std::string& InputPath()
{
    static const std::string path = "/tmp/fuzz_wav_load-" + std::to_string(::getpid()) + ".wav";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = InputPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
    TWaveContainer container;
    try {
        container.AddWaveFromFile(path, "w");
        TWaveBuffer* wave = container.GetWave("w");
        // Touch every byte the buffer claims to hold.
        volatile std::uint8_t sum = 0;
        const std::uint8_t* p = wave->GetData(0);
        for (std::uint32_t i = 0; i < wave->GetByteSize(); ++i)
            sum = std::uint8_t(sum + p[i]);
        (void)sum;
    } catch (const Exception&) {
    }
    return 0;
}
