#pragma once
// Builders for the sprite tests: PNG files written in code, a private temporary folder, and
// bitmaps filled and read back pixel by pixel.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/system/Exception.h"
#include "platform/drawing/Gdi.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TBrush.h"
#include "platform/drawing/TCanvas.h"
#include "platform/drawing/TPicture.h"
#include "TestFolder.h"

namespace fixtures {

// The text of the class library's exception the action throws.
inline std::string ThrownText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "<nothing thrown>";
}

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// Pixels in reading order: row 0 is the top line.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;

    Picture() = default;
    Picture(int w, int h, Rgba fill = {}) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}
    Rgba& At(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// Writes an 8-bit RGB or RGBA PNG file.
inline void WritePng(const std::string& path, const Picture& picture, bool withAlpha)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        throw std::runtime_error("libpng failed on " + path);
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int channels = withAlpha ? 4 : 3;
    std::vector<png_byte> row(std::size_t(picture.width) * std::size_t(channels));
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Rgba& p = picture.pixels[std::size_t(y) * std::size_t(picture.width) + std::size_t(x)];
            png_byte* out = &row[std::size_t(x) * std::size_t(channels)];
            out[0] = p.r;
            out[1] = p.g;
            out[2] = p.b;
            if (withAlpha)
                out[3] = p.a;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

// A folder of its own for each test, removed with everything in it.
struct TempDir : TestFolder {
    TempDir() : TestFolder("sprite-test-") {}
};

constexpr COLORREF Rgb(const Rgba& p) { return RGB(p.r, p.g, p.b); }

// A w x h device-dependent bitmap filled with one colour.
inline std::unique_ptr<TBitmap> SolidBitmap(int w, int h, COLORREF colour)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetHandleType(bmDDB);
    bitmap->SetSize(w, h);
    HBRUSH brush = CreateSolidBrush(colour);
    RECT all{0, 0, w, h};
    FillRect(bitmap->Canvas()->Handle(), &all, brush);
    DeleteObject(brush);
    return bitmap;
}

inline void SetPixelAt(TBitmap& bitmap, int x, int y, COLORREF colour)
{
    SetPixel(bitmap.Canvas()->Handle(), x, y, colour);
}

inline COLORREF PixelAt(TBitmap& bitmap, int x, int y)
{
    return GetPixel(bitmap.Canvas()->Handle(), x, y) & 0xFFFFFF;
}

// Every pixel of the bitmap (0x00BBGGRR), row by row from the top.
inline std::vector<COLORREF> Pixels(TBitmap& bitmap)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    std::vector<COLORREF> out(std::size_t(w) * std::size_t(h));
    if (out.empty())
        return out;
    BITMAPINFO info{};
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biBitCount = 32;
    if (GetDIBits(bitmap.Canvas()->Handle(), bitmap.Handle(), 0, UINT(h), out.data(), &info, DIB_RGB_COLORS) != h)
        throw std::runtime_error("GetDIBits failed");
    // DIB pixels are 0x00RRGGBB; turn them into colour references.
    for (COLORREF& c : out)
        c = RGB(BYTE(c >> 16), BYTE(c >> 8), BYTE(c));
    return out;
}

}  // namespace fixtures

namespace fixtures {

// The spot: a w x h orange disc-like square whose alpha grows from 0 at the left edge to 255 at
// the right, fully transparent in its top row.
inline Picture GradedSpot(int w, int h)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.At(x, y) = {255, BYTE(100 + 10 * y), BYTE(20 * x),
                          BYTE(y == 0 ? 0 : (w == 1 ? 255 : x * 255 / (w - 1)))};
    return p;
}

// A frame whose border is the key colour magenta, with a red body and a green centre.
inline Picture KeyedFrame(int w, int h)
{
    Picture p(w, h, {255, 0, 0, 255});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x == 0 || y == 0 || x == w - 1 || y == h - 1)
                p.At(x, y) = {255, 0, 255, 255};
    p.At(w / 2, h / 2) = {0, 255, 0, 255};
    return p;
}
constexpr COLORREF kKey = RGB(255, 0, 255);

// A background whose every pixel tells where it is.
inline COLORREF PositionColour(int x, int y) { return RGB(BYTE(x * 7), BYTE(y * 5), BYTE((x + y) * 3)); }

inline std::unique_ptr<TBitmap> PositionBitmap(int w, int h)
{
    auto bitmap = SolidBitmap(w, h, 0);
    HDC dc = bitmap->Canvas()->Handle();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            SetPixel(dc, x, y, PositionColour(x, y));
    return bitmap;
}

}  // namespace fixtures


namespace fixtures {

// Stands in for the image control a scene draws into: its size and its picture's bitmap.
class FakeImage {
public:
    FakeImage(int w, int h) : width_(w), height_(h) { picture_.Bitmap()->SetSize(w, h); }
    [[nodiscard]] int Width() const { return width_; }
    [[nodiscard]] int Height() const { return height_; }
    [[nodiscard]] TCanvas* Canvas() { return picture_.Bitmap()->Canvas(); }
    [[nodiscard]] TPicture* Picture() { return &picture_; }
    [[nodiscard]] TBitmap& Bitmap() { return *picture_.Bitmap(); }

private:
    TPicture picture_;
    int width_;
    int height_;
};

// Where two pictures of the given width first differ, or an empty text when they are equal.
inline std::string FirstDifference(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b, int width)
{
    if (a.size() != b.size())
        return "sizes differ";
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) {
            char text[96];
            std::snprintf(text, sizeof text, "at (%d, %d): %06X instead of %06X", int(i % std::size_t(width)),
                          int(i / std::size_t(width)), unsigned(a[i]), unsigned(b[i]));
            return text;
        }
    return "";
}

}  // namespace fixtures
