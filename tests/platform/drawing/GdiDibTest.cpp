// DIB sections and DIB transfers: bottom-up rows, palettes, bands, round trips, bad headers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/drawing/Gdi.h"

namespace {

// A packed DIB (header, colour table, rows) built in code, as the image layer stores one.
struct Dib {
    std::vector<unsigned char> block;

    Dib(int width, int height, int bits, std::vector<RGBQUAD> palette = {})
    {
        const size_t stride = size_t(((width * bits + 31) / 32) * 4);
        const size_t rows = size_t(height < 0 ? -height : height);
        block.resize(sizeof(BITMAPINFOHEADER) + palette.size() * 4 + stride * rows);
        BITMAPINFOHEADER h;
        h.biWidth = width;
        h.biHeight = height;
        h.biBitCount = WORD(bits);
        h.biClrUsed = DWORD(palette.size());
        h.biSizeImage = DWORD(stride * rows);
        std::memcpy(block.data(), &h, sizeof h);
        if (!palette.empty())
            std::memcpy(block.data() + sizeof h, palette.data(), palette.size() * 4);
        strideBytes = stride;
    }
    [[nodiscard]] BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(block.data()); }
    [[nodiscard]] unsigned char* Bits()
    {
        return block.data() + sizeof(BITMAPINFOHEADER) + Info()->bmiHeader.biClrUsed * 4;
    }
    [[nodiscard]] unsigned char* Row(int storageRow) { return Bits() + strideBytes * size_t(storageRow); }
    size_t strideBytes = 0;
};

struct Surface {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap;
    HGDIOBJ previous;
    Surface(int w, int h, COLORREF fill) : bitmap(CreateCompatibleBitmap(nullptr, w, h))
    {
        previous = SelectObject(dc, bitmap);
        HBRUSH brush = CreateSolidBrush(fill);
        const RECT all{0, 0, w, h};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    ~Surface()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    [[nodiscard]] COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
};

constexpr RGBQUAD Quad(BYTE r, BYTE g, BYTE b) { return RGBQUAD{b, g, r, 0}; }

TEST(GdiDib, SetDIBitsToDeviceDrawsStorageRowZeroAtTheBottom)
{
    Dib dib(2, 2, 24);
    // Storage row 0 (bottom line): blue, green; row 1 (top line): red, white.
    const unsigned char bottom[] = {255, 0, 0, 0, 255, 0};
    const unsigned char top[] = {0, 0, 255, 255, 255, 255};
    std::memcpy(dib.Row(0), bottom, 6);
    std::memcpy(dib.Row(1), top, 6);
    Surface s(2, 2, 0);
    EXPECT_EQ(SetDIBitsToDevice(s.dc, 0, 0, 2, 2, 0, 0, 0, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(s.At(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(s.At(1, 0), RGB(255, 255, 255));
    EXPECT_EQ(s.At(0, 1), RGB(0, 0, 255));
    EXPECT_EQ(s.At(1, 1), RGB(0, 255, 0));
}

TEST(GdiDib, SetDIBitsToDeviceSourceCornerIsLowerLeftOfBottomUpDib)
{
    // 3 x 3 grey ramp: storage row r, column c has level 10 * (3 * r + c).
    Dib dib(3, 3, 8, [] {
        std::vector<RGBQUAD> p;
        for (int i = 0; i < 256; ++i)
            p.push_back(Quad(BYTE(i), BYTE(i), BYTE(i)));
        return p;
    }());
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            dib.Row(r)[c] = BYTE(10 * (3 * r + c));
    Surface s(2, 2, 0);
    // Source corner (1, 1) from the lower left: columns 1..2 of storage rows 1..2.
    SetDIBitsToDevice(s.dc, 0, 0, 2, 2, 1, 1, 0, 3, dib.Bits(), dib.Info(), DIB_RGB_COLORS);
    EXPECT_EQ(s.At(0, 0), RGB(70, 70, 70));  // storage row 2, column 1 is the top line
    EXPECT_EQ(s.At(1, 1), RGB(50, 50, 50));  // storage row 1, column 2
}

TEST(GdiDib, SetDIBitsToDeviceBandReadsOnlyItsOwnLines)
{
    Dib dib(1, 4, 24);
    for (int r = 0; r < 4; ++r)
        dib.Row(r)[2] = BYTE(100 + r);  // red
    Surface s(1, 4, RGB(1, 1, 1));
    // Lines 1 and 2 only, handed over as a pointer to line 1.
    EXPECT_EQ(SetDIBitsToDevice(s.dc, 0, 0, 1, 4, 0, 0, 1, 2, dib.Row(1), dib.Info(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(s.At(0, 0), RGB(1, 1, 1));
    EXPECT_EQ(s.At(0, 1), RGB(102, 0, 0));
    EXPECT_EQ(s.At(0, 2), RGB(101, 0, 0));
    EXPECT_EQ(s.At(0, 3), RGB(1, 1, 1));
}

TEST(GdiDib, TopDownDibDrawsFirstRowAtTheTop)
{
    Dib dib(1, -2, 32);
    dib.Row(0)[2] = 200;
    dib.Row(1)[1] = 100;
    Surface s(1, 2, 0);
    SetDIBitsToDevice(s.dc, 0, 0, 1, 2, 0, 0, 0, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS);
    EXPECT_EQ(s.At(0, 0), RGB(200, 0, 0));
    EXPECT_EQ(s.At(0, 1), RGB(0, 100, 0));
}

struct DepthCase {
    int bits;
    std::vector<RGBQUAD> palette;
    std::vector<unsigned char> row;  // one storage row, padded
    std::vector<COLORREF> expected;  // the first pixels, left to right
};

class DibDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(DibDepth, SectionShowsPaletteColoursAndReadsBackExactly)
{
    const DepthCase& c = GetParam();
    const int width = int(c.expected.size());
    Dib dib(width, 1, c.bits, c.palette);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, dib.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    ASSERT_NE(bits, nullptr);
    std::memcpy(bits, c.row.data(), c.row.size());
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, section);
    for (int x = 0; x < width; ++x)
        EXPECT_EQ(GetPixel(dc, x, 0), c.expected[size_t(x)]) << "pixel " << x;

    // A copy through a colour bitmap and back lands on the same indices.
    Surface colour(width, 1, 0);
    BitBlt(colour.dc, 0, 0, width, 1, dc, 0, 0, SRCCOPY);
    std::memset(bits, 0, c.row.size());
    BitBlt(dc, 0, 0, width, 1, colour.dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    EXPECT_EQ(std::memcmp(bits, c.row.data(), c.row.size()), 0);

    Dib back(width, 1, c.bits, c.palette);
    std::memset(back.Bits(), 0xEE, c.row.size());
    EXPECT_EQ(GetDIBits(dc, section, 0, 1, back.Bits(), back.Info(), DIB_RGB_COLORS), 1);
    EXPECT_EQ(std::memcmp(back.Bits(), c.row.data(), c.row.size()), 0);
    DeleteDC(dc);
    DeleteObject(section);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, DibDepth,
    ::testing::Values(
        DepthCase{1, {Quad(10, 20, 30), Quad(200, 210, 220)}, {0xA0, 0, 0, 0},
                  {RGB(200, 210, 220), RGB(10, 20, 30), RGB(200, 210, 220)}},
        DepthCase{4,
                  {Quad(0, 0, 0), Quad(255, 0, 0), Quad(0, 255, 0), Quad(0, 0, 255)},
                  {0x12, 0x30, 0, 0},
                  {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)}},
        DepthCase{8, {Quad(1, 2, 3), Quad(4, 5, 6), Quad(7, 8, 9)}, {2, 0, 1, 0}, {RGB(7, 8, 9), RGB(1, 2, 3), RGB(4, 5, 6)}},
        DepthCase{24, {}, {1, 2, 3, 4, 5, 6, 0, 0}, {RGB(3, 2, 1), RGB(6, 5, 4)}},
        DepthCase{32, {}, {1, 2, 3, 0, 4, 5, 6, 0}, {RGB(3, 2, 1), RGB(6, 5, 4)}}),
    [](const ::testing::TestParamInfo<DepthCase>& info) { return "Bits" + std::to_string(info.param.bits); });

TEST(GdiDib, PaletteIndexBeyondAShortTableShowsBlack)
{
    Dib dib(2, 1, 8, {Quad(9, 9, 9)});
    dib.Row(0)[0] = 0;
    dib.Row(0)[1] = 200;
    Surface s(2, 1, RGB(5, 5, 5));
    SetDIBitsToDevice(s.dc, 0, 0, 2, 1, 0, 0, 0, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS);
    EXPECT_EQ(s.At(0, 0), RGB(9, 9, 9));
    EXPECT_EQ(s.At(1, 0), RGB(0, 0, 0));
}

TEST(GdiDib, DrawingOnPalettedSectionTakesNearestEntryAndRasterOpsWorkOnIndices)
{
    Dib dib(2, 1, 8, {Quad(0, 0, 0), Quad(250, 0, 0), Quad(0, 0, 250), Quad(250, 0, 250)});
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, dib.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, section);
    HBRUSH red = CreateSolidBrush(RGB(255, 10, 10));
    const RECT all{0, 0, 2, 1};
    FillRect(dc, &all, red);
    EXPECT_EQ(static_cast<unsigned char*>(bits)[0], 1);
    // Index 1 XOR index 2 = index 3 (magenta), though red XOR blue colours would give the same.
    Surface blue(2, 1, RGB(0, 0, 250));
    BitBlt(dc, 0, 0, 2, 1, blue.dc, 0, 0, SRCINVERT);
    EXPECT_EQ(static_cast<unsigned char*>(bits)[0], 3);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(250, 0, 250));
    SelectObject(dc, old);
    DeleteObject(red);
    DeleteDC(dc);
    DeleteObject(section);
}

TEST(GdiDib, DibOntoMonochromeBitmapGoesByBrightness)
{
    Dib dib(2, 1, 24);
    const unsigned char row[] = {200, 220, 210, 30, 10, 40};  // light grey, dark
    std::memcpy(dib.Row(0), row, sizeof row);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP mono = CreateBitmap(2, 1, 1, 1, nullptr);
    HGDIOBJ old = SelectObject(dc, mono);
    SetBkColor(dc, RGB(30, 10, 40));  // a device context's background plays no part for DIB data
    SetDIBitsToDevice(dc, 0, 0, 2, 1, 0, 0, 0, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteObject(mono);
    DeleteDC(dc);
}

TEST(GdiDib, StretchDIBitsScalesTheWholeDib)
{
    Dib dib(2, 1, 24);
    dib.Row(0)[2] = 100;  // left pixel red 100
    dib.Row(0)[5] = 200;  // right pixel red 200
    Surface s(4, 2, 0);
    SetStretchBltMode(s.dc, COLORONCOLOR);
    EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 4, 2, 0, 0, 2, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY), 1);
    EXPECT_EQ(s.At(1, 1), RGB(100, 0, 0));
    EXPECT_EQ(s.At(2, 0), RGB(200, 0, 0));
}

TEST(GdiDib, StretchDIBitsAppliesItsRasterOperation)
{
    Dib dib(1, 1, 24);
    dib.Row(0)[0] = 0xF0;
    Surface s(1, 1, RGB(0, 0, 0x0F));
    StretchDIBits(s.dc, 0, 0, 1, 1, 0, 0, 1, 1, dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCINVERT);
    EXPECT_EQ(s.At(0, 0), RGB(0, 0, 0xFF));
}

TEST(GdiDib, CreateDIBitmapCopiesThePixelsIntoADeviceBitmap)
{
    Dib dib(2, 2, 24);
    dib.Row(1)[0] = 77;  // top-left blue
    Surface target(1, 1, 0);
    HBITMAP b = CreateDIBitmap(target.dc, &dib.Info()->bmiHeader, CBM_INIT, dib.Bits(), dib.Info(), DIB_RGB_COLORS);
    ASSERT_NE(b, nullptr);
    BITMAP info;
    GetObject(b, sizeof info, &info);
    EXPECT_EQ(info.bmBits, nullptr);
    EXPECT_EQ(info.bmWidth, 2);
    EXPECT_EQ(info.bmBitsPixel, 32);
    HDC screen = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(screen, b);
    EXPECT_EQ(GetPixel(screen, 0, 0), RGB(0, 0, 77));
    EXPECT_EQ(GetPixel(screen, 0, 1), RGB(0, 0, 0));
    SelectObject(screen, old);
    DeleteObject(b);
    DeleteDC(screen);
}

TEST(GdiDib, GetDIBitsFillsInTheHeaderWhenAskedWithoutBits)
{
    HBITMAP b = CreateCompatibleBitmap(nullptr, 5, 3);
    BITMAPINFO info;
    info.bmiHeader.biBitCount = 0;
    EXPECT_EQ(GetDIBits(nullptr, b, 0, 0, nullptr, &info, DIB_RGB_COLORS), 3);
    EXPECT_EQ(info.bmiHeader.biWidth, 5);
    EXPECT_EQ(info.bmiHeader.biHeight, 3);
    EXPECT_EQ(info.bmiHeader.biBitCount, 32);
    EXPECT_EQ(info.bmiHeader.biSizeImage, 60u);
    DeleteObject(b);
}

TEST(GdiDib, GetDIBitsOfColourBitmapGivesBottomUpRows)
{
    Surface s(2, 2, RGB(1, 2, 3));
    SetPixel(s.dc, 0, 1, RGB(9, 8, 7));  // bottom-left
    Dib out(2, 2, 24);
    EXPECT_EQ(GetDIBits(s.dc, s.bitmap, 0, 2, out.Bits(), out.Info(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(out.Row(0)[0], 7);
    EXPECT_EQ(out.Row(0)[2], 9);
    EXPECT_EQ(out.Row(1)[0], 3);
}

TEST(GdiDib, GetDIBitsRefusesPalettedOutputOfAColourBitmap)
{
    Surface s(2, 2, 0);
    Dib out(2, 2, 8, std::vector<RGBQUAD>(256));
    EXPECT_EQ(GetDIBits(s.dc, s.bitmap, 0, 2, out.Bits(), out.Info(), DIB_RGB_COLORS), 0);
}

struct BadHeader {
    const char* name;
    LONG width;
    LONG height;
    WORD bits;
    DWORD compression;
    UINT usage;
};

class DibHeaderRefused : public ::testing::TestWithParam<BadHeader> {};

TEST_P(DibHeaderRefused, EveryDibCallFailsCleanly)
{
    const BadHeader& c = GetParam();
    std::vector<unsigned char> block(sizeof(BITMAPINFOHEADER) + 1024 + 64, 0);
    BITMAPINFOHEADER h;
    h.biWidth = c.width;
    h.biHeight = c.height;
    h.biBitCount = c.bits;
    h.biCompression = c.compression;
    std::memcpy(block.data(), &h, sizeof h);
    auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
    const unsigned char* bits = block.data() + sizeof h;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, info, c.usage, &out, nullptr, 0), nullptr);
    EXPECT_EQ(out, nullptr);
    Surface s(2, 2, 0);
    EXPECT_EQ(SetDIBitsToDevice(s.dc, 0, 0, 2, 2, 0, 0, 0, 1, bits, info, c.usage), 0);
    EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 2, 2, 0, 0, 1, 1, bits, info, c.usage, SRCCOPY), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, DibHeaderRefused,
    ::testing::Values(BadHeader{"SixteenBits", 2, 2, 16, BI_RGB, DIB_RGB_COLORS},
                      BadHeader{"Compressed", 2, 2, 8, 1, DIB_RGB_COLORS},
                      BadHeader{"ZeroWidth", 0, 2, 8, BI_RGB, DIB_RGB_COLORS},
                      BadHeader{"NegativeWidth", -2, 2, 8, BI_RGB, DIB_RGB_COLORS},
                      BadHeader{"ZeroHeight", 2, 0, 8, BI_RGB, DIB_RGB_COLORS},
                      BadHeader{"MostNegativeHeight", 2, INT32_MIN, 8, BI_RGB, DIB_RGB_COLORS},
                      BadHeader{"Huge", 0x7FFFFFFF, 0x7FFFFFFF, 32, BI_RGB, DIB_RGB_COLORS},
                      BadHeader{"PaletteIndices", 2, 2, 8, BI_RGB, DIB_PAL_COLORS}),
    [](const ::testing::TestParamInfo<BadHeader>& info) { return std::string(info.param.name); });

}  // namespace
