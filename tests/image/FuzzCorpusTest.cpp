// Every committed input of the image fuzz target, among them files that once overflowed, leaked or
// took minutes in a decoder, decodes or is refused quickly; the sanitizer builds also report any
// undefined conversion or leak on the way.
#include "image/PixImage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(RT_FUZZ_DIR) / "image_decode" / "corpus";

TEST(ImageFuzzCorpus, EveryInputDecodesOrIsRefusedWithinSeconds) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(kCorpus)) files.push_back(entry.path());
    ASSERT_GE(files.size(), 50u) << kCorpus;
    for (const fs::path& file : files) {
        const auto start = std::chrono::steady_clock::now();
        PixImage image;
        image.Load(file.c_str());
        const auto spent = std::chrono::steady_clock::now() - start;
        EXPECT_LT(spent, std::chrono::seconds(5)) << file.filename();
    }
}

// What the inputs found by fuzzing must give: a picture, or a refusal (the Exif block and the TIFF
// tags that once overflowed are read before the refusal).
struct Found {
    const char* file;
    bool decodes;
};

TEST(ImageFuzzCorpus, InputsFoundByFuzzingGiveTheirResult) {
    for (const Found f : {Found{"emf-clip-path-slow.emf", true}, Found{"emf-clip-path-tall-ellipse-leak.emf", true},
                          Found{"emf-clip-path-tall-leak.emf", true}, Found{"emf-stretchdibits-ysrc-min.emf", true},
                          Found{"jpeg-exif-orientation-huge-long.jpg", false},
                          Found{"jpeg-exif-orientation-nan.jpg", false}, Found{"tiff-xresolution-4e9.tif", true},
                          Found{"tiff-xresolution-huge.tif", false}}) {
        const fs::path file = kCorpus / f.file;
        ASSERT_TRUE(fs::exists(file)) << file;
        PixImage image;
        EXPECT_EQ(image.Load(file.c_str()), f.decodes) << f.file << ": " << image.GetLastError();
    }
}

}  // namespace
