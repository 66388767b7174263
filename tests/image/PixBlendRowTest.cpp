// The row blend against its rule written out pixel by pixel, on every instruction set this processor
// runs, each forced (the dispatcher alone would try only the best): every combination of alpha
// channel, alpha scale and key colour, rows from 0 to 259 pixels starting at every 4-byte offset of
// a cache line, so that each vector path meets its heads, whole steps and tails. The source bytes
// end where an unreadable page begins: reading one byte past them ends the test.
#include "image/PixBlendRow.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// n bytes that end at an inaccessible page.
class Guarded {
public:
    explicit Guarded(std::size_t n) : page_(std::size_t(sysconf(_SC_PAGESIZE)))
    {
        base_ = static_cast<std::uint8_t*>(mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_ + page_, page_, PROT_NONE);
        data_ = base_ + page_ - n;
    }
    ~Guarded() { munmap(base_, 2 * page_); }
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;
    std::uint8_t& operator[](std::size_t i) { return data_[i]; }
    [[nodiscard]] std::uint8_t* data() { return data_; }

private:
    std::size_t page_ = 0;
    std::uint8_t* base_ = nullptr;
    std::uint8_t* data_ = nullptr;
};

std::uint32_t Rule(const std::uint8_t* p, std::uint32_t alpha, std::uint32_t alphaScale, std::int64_t key,
                   std::uint32_t old)
{
    const std::uint32_t a = (alpha * alphaScale) >> 8;
    const std::uint32_t colour = p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
    if (a == 0 || std::int64_t(colour) == key)
        return old;
    std::uint32_t out = old & 0xFF000000u;
    if (a == 255)
        return out | colour;
    for (int ch = 0; ch < 3; ++ch)
        out |= ((((old >> (8 * ch)) & 0xFF) * (255 - a) + a * p[ch]) >> 8) << (8 * ch);
    return out;
}

// Rows that meet every shortcut and step of path; the first failure ends the check.
void CheckPath(PixBlendPath path)
{
    std::mt19937 rng(7);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int variant = 0; variant < 8; ++variant) {
        const bool hasAlpha = variant & 4;
        const std::uint32_t alphaScale = variant & 2 ? std::uint32_t(pick(1, 255)) : 256;
        for (int offset = 0; offset < 16; ++offset)
            for (int count : {0, 1, 7, 8, 9, 15, 16, 17, 21, 22, 31, 33, 47, 64, 100, 259}) {
                SCOPED_TRACE(testing::Message() << "variant " << variant << " offset " << offset << " count " << count);
                // Runs of one alpha (0, 255 or any) and colours mostly of 0 and 255, so that whole
                // steps take every shortcut and the key colour occurs; a third of the pixels any
                // colour. The longest row instead takes every alpha value, against every blue and
                // every green value.
                Guarded bgr(3 * static_cast<std::size_t>(count)), alpha(static_cast<std::size_t>(count));
                for (int i = 0; i < count; ++i) {
                    const int kind = (i / 16 + variant) % 3;
                    const bool anyColour = pick(0, 2) == 0;
                    for (int ch = 0; ch < 3; ++ch)
                        bgr[3 * std::size_t(i) + std::size_t(ch)] = std::uint8_t(anyColour ? pick(0, 255) : pick(0, 1) * 255);
                    alpha[std::size_t(i)] = std::uint8_t(kind == 0 ? 0 : kind == 1 ? 255 : pick(0, 255));
                    if (count > 256) {
                        alpha[std::size_t(i)] = std::uint8_t(i);
                        bgr[3 * std::size_t(i)] = std::uint8_t(255 - i);
                        bgr[3 * std::size_t(i) + 1] = std::uint8_t(i * 37);
                    }
                }
                const std::int64_t key = variant & 1 ? std::int64_t(pick(0, 1) * 0xFF00FF) : -1;
                alignas(64) std::uint32_t words[16 + 260];
                std::vector<std::uint32_t> want;
                for (std::uint32_t& word : words)
                    word = std::uint32_t(rng());
                for (int i = 0; i < count; ++i)
                    want.push_back(Rule(&bgr[3 * std::size_t(i)], hasAlpha ? alpha[std::size_t(i)] : 255, alphaScale,
                                        key, words[offset + i]));
                const std::uint32_t before = offset > 0 ? words[offset - 1] : 0, after = words[offset + count];
                PixBlendRow32On(path, bgr.data(), hasAlpha ? alpha.data() : nullptr, alphaScale, key, count,
                                words + offset);
                for (int i = 0; i < count; ++i)
                    ASSERT_EQ(words[offset + i], want[std::size_t(i)]) << "pixel " << i;
                if (offset > 0) {
                    ASSERT_EQ(words[offset - 1], before);
                }
                ASSERT_EQ(words[offset + count], after);
            }
    }
}

TEST(PixBlendRow, EveryPathThisProcessorRunsFollowsTheRule)
{
    const struct {
        PixBlendPath path;
        const char* name;
    } paths[] = {{PixBlendPath::Avx512, "AVX-512"}, {PixBlendPath::Avx2, "AVX2"}, {PixBlendPath::Plain, "plain"}};
    for (const auto& [path, name] : paths) {
        if (!PixBlendPathRuns(path)) {
            std::printf("The %s path is not checked: this processor does not run it.\n", name);
            continue;
        }
        SCOPED_TRACE(name);
        CheckPath(path);
        if (HasFatalFailure())
            return;
    }
}

} // namespace
