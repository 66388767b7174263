// Device-context transfers at skin-picture size (1024 x 768), against a plain memory copy of the
// same pixel bytes as the floor: the transfers the image layer's drawing and the sprite scenes use.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/Gdi.h"

namespace {

constexpr int kW = 1024;
constexpr int kH = 768;

struct Surface {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap;
    HGDIOBJ previous;
    explicit Surface(HBITMAP b) : bitmap(b) { previous = SelectObject(dc, bitmap); }
    ~Surface()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

HBITMAP Colour()
{
    HBITMAP b = CreateCompatibleBitmap(nullptr, kW, kH);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, b);
    for (int y = 0; y < kH; y += 7)
        for (int x = 0; x < kW; x += 5)
            SetPixel(dc, x, y, RGB(x & 255, y & 255, 255));
    SelectObject(dc, old);
    DeleteDC(dc);
    return b;
}

std::vector<unsigned char> Dib24(std::vector<unsigned char>& bits)
{
    std::vector<unsigned char> header(sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER h;
    h.biWidth = kW;
    h.biHeight = kH;
    h.biBitCount = 24;
    std::memcpy(header.data(), &h, sizeof h);
    bits.assign(size_t(kW) * 3 * kH, 0x5A);
    return header;
}

void MemcpyFloor(benchmark::State& state)
{
    std::vector<unsigned char> a(size_t(kW) * kH * 4, 1), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
    }
}
BENCHMARK(MemcpyFloor);

void BitBltColourToColour(benchmark::State& state)
{
    Surface src(Colour()), dst(CreateCompatibleBitmap(nullptr, kW, kH));
    for (auto _ : state)
        BitBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, SRCCOPY);
}
BENCHMARK(BitBltColourToColour);

void BitBltColourIntoDibSection24(benchmark::State& state)
{
    std::vector<unsigned char> bits;
    auto header = Dib24(bits);
    void* rows = nullptr;
    Surface src(Colour());
    Surface dst(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(header.data()), DIB_RGB_COLORS, &rows,
                                 nullptr, 0));
    for (auto _ : state)
        BitBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, SRCCOPY);
}
BENCHMARK(BitBltColourIntoDibSection24);

void SetDIBitsToDevice24(benchmark::State& state)
{
    std::vector<unsigned char> bits;
    auto header = Dib24(bits);
    Surface dst(CreateCompatibleBitmap(nullptr, kW, kH));
    for (auto _ : state)
        SetDIBitsToDevice(dst.dc, 0, 0, kW, kH, 0, 0, 0, kH, bits.data(), reinterpret_cast<BITMAPINFO*>(header.data()),
                          DIB_RGB_COLORS);
}
BENCHMARK(SetDIBitsToDevice24);

void TransparentBltKeyed(benchmark::State& state)
{
    Surface src(Colour()), dst(CreateCompatibleBitmap(nullptr, kW, kH));
    for (auto _ : state)
        TransparentBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, kW, kH, RGB(0, 0, 255));
}
BENCHMARK(TransparentBltKeyed);

void StretchBltHalftoneHalf(benchmark::State& state)
{
    Surface src(Colour()), dst(CreateCompatibleBitmap(nullptr, kW / 2, kH / 2));
    SetStretchBltMode(dst.dc, HALFTONE);
    for (auto _ : state)
        StretchBlt(dst.dc, 0, 0, kW / 2, kH / 2, src.dc, 0, 0, kW, kH, SRCCOPY);
}
BENCHMARK(StretchBltHalftoneHalf);

void TextOutLabel(benchmark::State& state)
{
    Surface dst(CreateCompatibleBitmap(nullptr, 300, 40));
    HFONT font = CreateFont(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "Arial");
    HGDIOBJ old = SelectObject(dst.dc, font);
    SetBkMode(dst.dc, TRANSPARENT);
    for (auto _ : state)
        TextOut(dst.dc, 4, 4, "Riff 12: Power chords", -1);
    SelectObject(dst.dc, old);
    DeleteObject(font);
}
BENCHMARK(TextOutLabel);

}  // namespace
