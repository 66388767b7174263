// Every committed input of the image fuzz target, among them files that once overflowed, leaked or
// took minutes in a decoder, decodes or is refused quickly; the sanitizer builds also report any
// undefined conversion or leak on the way.
#include "image/PixImage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(ImageFuzzCorpus, EveryInputDecodesOrIsRefusedWithinSeconds) {
    // Found by fuzzing; the metafiles still give pictures.
    const std::set<std::string> found{
        "emf-clip-path-slow.emf",        "emf-clip-path-tall-ellipse-leak.emf", "emf-clip-path-tall-leak.emf",
        "emf-stretchdibits-ysrc-min.emf", "jpeg-exif-orientation-huge-long.jpg", "jpeg-exif-orientation-nan.jpg",
        "tiff-tile-4gb.tif",             "tiff-xresolution-4e9.tif",            "tiff-xresolution-huge.tif"};
    std::size_t seen = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(RT_FUZZ_DIR) / "image_decode" / "corpus")) {
        const std::string name = entry.path().filename().string();
        const auto start = std::chrono::steady_clock::now();
        PixImage image;
        const bool decoded = image.Load(entry.path().c_str());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << name;
        if (found.count(name)) {
            ++seen;
            if (name.ends_with(".emf")) {
                EXPECT_TRUE(decoded) << name << ": " << image.GetLastError();
            }
        }
    }
    EXPECT_EQ(seen, found.size());
}

}  // namespace
