#include "platform/multimedia/Mmio.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace {

std::vector<unsigned char> Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Mmio, AscendPatchesCreatedSizesAndPadsOddChunks)
{
    const TestFolder dir("mmio-");
    const std::string path = dir.File("write.riff");
    HMMIO f = mmioOpen(path, MMIO_CREATE | MMIO_READWRITE);
    ASSERT_NE(f, nullptr);
    MMCKINFO riff;
    riff.fccType = mmioFOURCC('T', 'E', 'S', 'T');
    ASSERT_EQ(mmioCreateChunk(f, &riff, MMIO_CREATERIFF), MMSYSERR_NOERROR);
    MMCKINFO odd;
    odd.ckid = mmioFOURCC('o', 'd', 'd', ' ');
    ASSERT_EQ(mmioCreateChunk(f, &odd, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(f, "abc", 3), 3);
    ASSERT_EQ(mmioAscend(f, &odd, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(odd.cksize, 3u);
    ASSERT_EQ(mmioAscend(f, &riff, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioClose(f), MMSYSERR_NOERROR);

    const auto b = Slurp(path);
    ASSERT_EQ(b.size(), 12u + 8 + 4);
    EXPECT_EQ(b[4], 16);  // form type + chunk header + 3 bytes + pad
    EXPECT_EQ(b[16], 3);
    EXPECT_EQ(b[23], 0);
}

TEST(Mmio, FindChunkStaysInsideItsParentAndEndsOnBogusSizes)
{
    const TestFolder dir("mmio-");
    const std::string path = dir.File("read.riff");
    // RIFF "TEST" { "aaaa" size 0xFFFFFFF0 } then a "bbbb" chunk outside the RIFF.
    const unsigned char bytes[] = {'R', 'I', 'F', 'F', 12, 0, 0, 0, 'T', 'E', 'S', 'T', 'a', 'a', 'a', 'a',
                                   0xF0, 0xFF, 0xFF, 0xFF, 'b', 'b', 'b', 'b', 0, 0, 0, 0};
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    HMMIO f = mmioOpen(path, MMIO_READ);
    ASSERT_NE(f, nullptr);
    MMCKINFO riff;
    riff.fccType = mmioFOURCC('T', 'E', 'S', 'T');
    ASSERT_EQ(mmioDescend(f, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    MMCKINFO b;
    b.ckid = mmioFOURCC('b', 'b', 'b', 'b');
    EXPECT_EQ(mmioDescend(f, &b, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    ASSERT_EQ(mmioSeek(f, 12, SEEK_SET), 12);
    EXPECT_EQ(mmioDescend(f, &b, nullptr, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    char buf[8];
    ASSERT_EQ(mmioSeek(f, -4, SEEK_END), 24);
    EXPECT_EQ(mmioRead(f, buf, 8), 4);
    EXPECT_EQ(mmioWrite(f, buf, 1), -1);  // opened for reading only
    mmioClose(f);
}

TEST(Mmio, OpenOfAMissingFileGivesNull)
{
    const TestFolder dir("mmio-");
    EXPECT_EQ(mmioOpen(dir.File("no-such-file"), MMIO_READ), nullptr);
}

} // namespace
