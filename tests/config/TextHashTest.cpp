// The keyed hash the name tables use: families of texts that a fixed or careless hash would fold
// together hash apart, and every key is drawn anew.
#include "config/TextHash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

using tdv_detail::HashText;
using tdv_detail::MakeTextHashKey;

namespace {

// The texts of length bytes that differ from one random text in one bit of one byte, and that
// text: every byte at every position counts, and no change at one position equals one at another.
std::vector<std::string> OneByteChanged(std::size_t length)
{
    std::mt19937 random(static_cast<std::uint32_t>(length));
    std::string base(length, ' ');
    for (char& c : base)
        c = static_cast<char>('a' + random() % 26);
    std::vector<std::string> texts{base};
    for (std::size_t i = 0; i < length; ++i)
        for (int bit = 0; bit < 8; ++bit) {
            texts.push_back(base);
            texts.back()[i] = static_cast<char>(texts.back()[i] ^ (1 << bit));
        }
    return texts;
}

// Every order of the same four seven-byte pieces: a hash that adds its pieces up folds them all.
std::vector<std::string> PiecesReordered()
{
    std::vector<std::string> pieces{"abcdefg", "hijklmn", "opqrstu", "vwxyz01"};
    std::vector<std::string> texts;
    do {
        texts.push_back(pieces[0] + pieces[1] + pieces[2] + pieces[3]);
    } while (std::next_permutation(pieces.begin(), pieces.end()));
    return texts;
}

std::vector<std::string> NumberedNames()
{
    std::vector<std::string> texts;
    for (int i = 0; i < 100'000; ++i)
        texts.push_back("v" + std::to_string(i));
    return texts;
}

// Texts of zero bytes only, of every length up to 64.
std::vector<std::string> ZerosOfEveryLength()
{
    std::vector<std::string> texts;
    for (std::size_t length = 0; length <= 64; ++length)
        texts.emplace_back(length, '\0');
    return texts;
}

} // namespace

TEST(TextHash, EachFamilyOfTextsHashesApart)
{
    struct Family {
        std::string name;
        std::vector<std::string> texts;
    };
    std::vector<Family> families{
        {"pieces reordered", PiecesReordered()},
        {"v0 to v99999", NumberedNames()},
        {"zeros of every length", ZerosOfEveryLength()},
    };
    // Lengths on both sides of the seven-byte pieces and of the eight-byte words the hash reads.
    for (std::size_t length : {1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 28, 29, 63, 64, 65})
        families.push_back({"one byte changed in " + std::to_string(length), OneByteChanged(length)});
    for (const Family& family : families) {
        std::unordered_set<std::uint64_t> hashes;
        for (const std::string& text : family.texts)
            hashes.insert(HashText(text));
        EXPECT_EQ(hashes.size(), family.texts.size()) << family.name;
    }
}

// A key that could be known beforehand would let a text choose names that share a hash.
TEST(TextHash, EveryKeyIsDrawnAnew)
{
    const tdv_detail::TextHashKey first = MakeTextHashKey();
    const tdv_detail::TextHashKey second = MakeTextHashKey();
    EXPECT_NE(first.point, second.point);
    EXPECT_NE(first.offset, second.offset);
    EXPECT_NE(first.multiplier, second.multiplier);
}
