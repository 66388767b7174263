// Device-context transfers at skin-picture size (1024 x 768), each named after its reference
// (BM_X against BM_X_QPainter or BM_X_Memcpy): QPainter doing the same work on QImages of the same
// layouts, and a plain copy of the same bytes as the floor. These are the transfers the image
// layer's drawing, the picture controls and the sprite scenes use.
#include <benchmark/benchmark.h>

#include <QFont>
#include <QImage>
#include <QPainter>

#include <cstring>
#include <vector>

#include "InterleavedRounds.h"
#include "platform/drawing/Gdi.h"

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

QImage ColourImage()
{
    QImage image(kW, kH, QImage::Format_RGB32);
    image.fill(Qt::black);
    for (int y = 0; y < kH; y += 7)
        for (int x = 0; x < kW; x += 5)
            image.setPixel(x, y, qRgb(255, y & 255, x & 255));
    return image;
}

BITMAPINFO Header24()
{
    BITMAPINFO info{};
    info.bmiHeader.biWidth = kW;
    info.bmiHeader.biHeight = kH;
    info.bmiHeader.biBitCount = 24;
    return info;
}

// A picture as image files arrive: a 24-bit DIB section.
HBITMAP Section24()
{
    const BITMAPINFO info = Header24();
    void* rows = nullptr;
    HBITMAP b = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &rows, nullptr, 0);
    std::memset(rows, 0x5A, size_t(kW) * 3 * kH);
    return b;
}

void QPainterCopy(benchmark::State& state, const QImage& source, QImage& target)
{
    for (auto _ : state) {
        QPainter painter(&target);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, source);
        painter.end();
        benchmark::ClobberMemory();
    }
}

void BM_BitBlt_ColourToColour(benchmark::State& state)
{
    Surface src(Colour()), dst(CreateCompatibleBitmap(nullptr, kW, kH));
    for (auto _ : state)
        BitBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, SRCCOPY);
}
void BM_BitBlt_ColourToColour_Memcpy(benchmark::State& state)
{
    std::vector<unsigned char> a(size_t(kW) * kH * 4, 1), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
    }
}
void BM_BitBlt_ColourToColour_QPainter(benchmark::State& state)
{
    const QImage source = ColourImage();
    QImage target(kW, kH, QImage::Format_RGB32);
    QPainterCopy(state, source, target);
}
BENCHMARK(BM_BitBlt_ColourToColour);
BENCHMARK(BM_BitBlt_ColourToColour_Memcpy);
BENCHMARK(BM_BitBlt_ColourToColour_QPainter);

// What a picture control does when its picture changed.
void BM_BitBlt_Section24ToColour(benchmark::State& state)
{
    Surface src(Section24()), dst(CreateCompatibleBitmap(nullptr, kW, kH));
    for (auto _ : state)
        BitBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, SRCCOPY);
}
void BM_BitBlt_Section24ToColour_QPainter(benchmark::State& state)
{
    QImage source(kW, kH, QImage::Format_BGR888);
    source.fill(QColor(0x5A, 0x5A, 0x5A));
    QImage target(kW, kH, QImage::Format_RGB32);
    QPainterCopy(state, source, target);
}
BENCHMARK(BM_BitBlt_Section24ToColour);
BENCHMARK(BM_BitBlt_Section24ToColour_QPainter);

void BM_BitBlt_ColourToSection24(benchmark::State& state)
{
    Surface src(Colour()), dst(Section24());
    for (auto _ : state)
        BitBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, SRCCOPY);
}
void BM_BitBlt_ColourToSection24_QPainter(benchmark::State& state)
{
    const QImage source = ColourImage();
    QImage target(kW, kH, QImage::Format_BGR888);
    QPainterCopy(state, source, target);
}
BENCHMARK(BM_BitBlt_ColourToSection24);
BENCHMARK(BM_BitBlt_ColourToSection24_QPainter);

void BM_SetDIBitsToDevice24(benchmark::State& state)
{
    const BITMAPINFO info = Header24();
    std::vector<unsigned char> bits(size_t(kW) * 3 * kH, 0x5A);
    Surface dst(CreateCompatibleBitmap(nullptr, kW, kH));
    for (auto _ : state)
        SetDIBitsToDevice(dst.dc, 0, 0, kW, kH, 0, 0, 0, kH, bits.data(), &info, DIB_RGB_COLORS);
}
void BM_SetDIBitsToDevice24_QPainter(benchmark::State& state)
{
    std::vector<unsigned char> bits(size_t(kW) * 3 * kH, 0x5A);
    QImage target(kW, kH, QImage::Format_RGB32);
    for (auto _ : state) {
        // The rows wrapped where they lie, as a DIB is handed over.
        const QImage source(bits.data(), kW, kH, kW * 3, QImage::Format_BGR888);
        QPainter painter(&target);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, source.mirrored());
        painter.end();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SetDIBitsToDevice24);
BENCHMARK(BM_SetDIBitsToDevice24_QPainter);

// Colour keying has no QPainter counterpart: the floor is a copy of the same bytes.
void BM_TransparentBlt_Keyed(benchmark::State& state)
{
    Surface src(Colour()), dst(CreateCompatibleBitmap(nullptr, kW, kH));
    for (auto _ : state)
        TransparentBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, kW, kH, RGB(0, 0, 255));
}
void BM_TransparentBlt_Keyed_Memcpy(benchmark::State& state) { BM_BitBlt_ColourToColour_Memcpy(state); }
BENCHMARK(BM_TransparentBlt_Keyed);
BENCHMARK(BM_TransparentBlt_Keyed_Memcpy);

void BM_StretchBlt_HalftoneHalf(benchmark::State& state)
{
    Surface src(Colour()), dst(CreateCompatibleBitmap(nullptr, kW / 2, kH / 2));
    SetStretchBltMode(dst.dc, HALFTONE);
    for (auto _ : state)
        StretchBlt(dst.dc, 0, 0, kW / 2, kH / 2, src.dc, 0, 0, kW, kH, SRCCOPY);
}
void BM_StretchBlt_HalftoneHalf_QPainter(benchmark::State& state)
{
    const QImage source = ColourImage();
    QImage target(kW / 2, kH / 2, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&target);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, kW / 2, kH / 2), source);
        painter.end();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_StretchBlt_HalftoneHalf);
BENCHMARK(BM_StretchBlt_HalftoneHalf_QPainter);

void BM_TextOut_Label(benchmark::State& state)
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
void BM_TextOut_Label_QPainter(benchmark::State& state)
{
    // TextOut makes the application object on first use; the reference runs after it or makes it.
    Surface dst(CreateCompatibleBitmap(nullptr, 300, 40));
    HFONT gdiFont = CreateFont(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "Arial");
    HGDIOBJ old = SelectObject(dst.dc, gdiFont);
    TextOut(dst.dc, 4, 4, "x", 1);
    SelectObject(dst.dc, old);
    DeleteObject(gdiFont);
    QImage target(300, 40, QImage::Format_RGB32);
    QFont font("Arial");
    font.setPixelSize(13);
    for (auto _ : state) {
        QPainter painter(&target);
        painter.setFont(font);
        painter.drawText(4, 4 + 12, "Riff 12: Power chords");
        painter.end();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TextOut_Label);
BENCHMARK(BM_TextOut_Label_QPainter);

}  // namespace
