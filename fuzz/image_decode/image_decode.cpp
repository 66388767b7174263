// Arbitrary bytes through picture loading with format detection: every decoder the loader knows
// sees every input, so a new format is fuzzed as soon as it joins the detection table.
#include "image/PixImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* fp = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!fp) return 0;
    PixImage image;
    if (image.Decode(fp, 0)) {
        // Touch what a caller would: the rows, the palette and the alpha channel.
        volatile std::uint32_t sink = image.GetPixelColor(image.GetWidth() - 1, image.GetHeight() - 1).rgbRed;
        sink = sink + image.GetPixelIndex(0, 0) + image.AlphaGet(0, 0);
        (void)sink;
    }
    std::fclose(fp);
    return 0;
}
