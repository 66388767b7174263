// Picture loading and alpha drawing against their references, each case named after its pair
// (BM_X against BM_X_Reference): the skin picture against libpng's simplified reader, the 16-colour
// page against libpng reading the same rows with no transforms, and alpha drawing onto a 32-bit
// target against QPainter's SourceOver with a premultiplied and with a straight-alpha source.
#include "image/PixBlendRow.h"
#include "image/PixImage.h"

#include "InterleavedRounds.h"

#include <benchmark/benchmark.h>
#include <png.h>

#if __has_include(<QImage>)
#include <QImage>
#include <QPainter>
#define RT_BENCH_HAVE_QT 1
#endif

#include <cstdint>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

// A skin-like picture: smooth colour ramps with a soft-edged alpha, as a rendered control has.
std::vector<std::uint8_t> SkinRgba() {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(kWidth) * kHeight * 4);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t* p = &px[(static_cast<std::size_t>(y) * kWidth + x) * 4];
            p[0] = static_cast<std::uint8_t>(x * 255 / kWidth);
            p[1] = static_cast<std::uint8_t>(y * 255 / kHeight);
            p[2] = static_cast<std::uint8_t>((x + y) & 0xFF);
            const int edge = std::min(std::min(x, kWidth - 1 - x), std::min(y, kHeight - 1 - y));
            p[3] = static_cast<std::uint8_t>(edge >= 64 ? ((x / 32 + y / 32) % 3 == 0 ? 128 : 255) : edge * 4);
        }
    return px;
}

// A page of notation: a white ground with black and grey strokes in a 16-colour palette.
std::vector<std::uint8_t> PageIndices() {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(kWidth) * kHeight, 0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t v = 0;
            if (y % 48 < 5 && y % 48 > 0) v = 15;                          // staff lines
            if ((x * 7 + y * 3) % 97 < 6 && (y / 48) % 2 == 1) v = 8;      // note heads
            if (x % 128 == 3) v = 12;                                       // bar lines
            px[static_cast<std::size_t>(y) * kWidth + x] = v;
        }
    return px;
}

std::string WritePng(const std::string& name, png_uint_32 format, const void* pixels, const png_color* palette,
                     int paletteSize) {
    const auto path = (std::filesystem::temp_directory_path() / name).string();
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = format;
    std::vector<std::uint8_t> colormap;
    if (palette) {
        image.colormap_entries = static_cast<png_uint_32>(paletteSize);
        for (int i = 0; i < paletteSize; ++i) {
            colormap.push_back(palette[i].red);
            colormap.push_back(palette[i].green);
            colormap.push_back(palette[i].blue);
        }
    }
    png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, palette ? colormap.data() : nullptr);
    png_image_free(&image);
    return path;
}

const std::string& SkinPath() {
    static const std::string path = [] {
        const auto px = SkinRgba();
        return WritePng("bench-skin.png", PNG_FORMAT_RGBA, px.data(), nullptr, 0);
    }();
    return path;
}

const std::string& PagePath() {
    static const std::string path = [] {
        png_color pal[16];
        for (int i = 0; i < 16; ++i) {
            const auto v = static_cast<png_byte>(255 - i * 17);
            pal[i] = png_color{v, v, v};
        }
        const auto px = PageIndices();
        return WritePng("bench-page.png", PNG_FORMAT_RGB_COLORMAP, px.data(), pal, 16);
    }();
    return path;
}

void LoadWithDetection(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        PixImage img;
        if (!img.Load(path.c_str(), 0)) state.SkipWithError(img.GetLastError());
        benchmark::DoNotOptimize(img.GetBits(0));
    }
}

// The reference reads into the closest layout the image layer keeps: BGRA for the skin, colour
// indices and a colour map for the page.
void LoadWithLibpng(benchmark::State& state, const std::string& path, png_uint_32 format) {
    std::vector<std::uint8_t> buffer;
    std::vector<std::uint8_t> colormap(256 * 4);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) state.SkipWithError(image.message);
        image.format = format;
        buffer.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, buffer.data(), 0,
                                   (format & PNG_FORMAT_FLAG_COLORMAP) ? colormap.data() : nullptr))
            state.SkipWithError(image.message);
        benchmark::DoNotOptimize(buffer.data());
    }
}

// libpng's own reader with no transforms: the palette indices as the file packs them, row by row.
void LoadRowsWithLibpng(benchmark::State& state, const std::string& path) {
    std::vector<std::uint8_t> buffer;
    std::vector<png_bytep> rows;
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) {
            state.SkipWithError("cannot open the page");
            break;
        }
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_read_struct(&png, &info, nullptr);
            std::fclose(file);
            state.SkipWithError("libpng failed");
            break;
        }
        png_init_io(png, file);
        png_read_info(png, info);
        const std::size_t stride = png_get_rowbytes(png, info);
        const png_uint_32 height = png_get_image_height(png, info);
        buffer.resize(stride * height);
        rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) rows[y] = buffer.data() + y * stride;
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        benchmark::DoNotOptimize(buffer.data());
    }
}

void BM_SkinLoad(benchmark::State& state) { LoadWithDetection(state, SkinPath()); }
void BM_SkinLoad_LibpngSimplified(benchmark::State& state) { LoadWithLibpng(state, SkinPath(), PNG_FORMAT_BGRA); }
void BM_PageLoad(benchmark::State& state) { LoadWithDetection(state, PagePath()); }
void BM_PageLoad_LibpngRows(benchmark::State& state) { LoadRowsWithLibpng(state, PagePath()); }

// A skin picture with its alpha channel, drawn at natural size over an RGB32 device context.
void BM_AlphaDraw(benchmark::State& state) {
    PixImage img(kWidth, kHeight, 24, 0);
    const auto px = SkinRgba();
    img.AlphaCreate();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint8_t* p = &px[(static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x) * 4];
            img.SetPixelColor(x, y, RGBQUAD{p[2], p[1], p[0], p[3]}, true);
        }
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP target = CreateCompatibleBitmap(nullptr, kWidth, kHeight);
    HGDIOBJ old = SelectObject(dc, target);
    for (auto _ : state) {
        if (!img.Draw(dc, 0, 0)) state.SkipWithError("Draw refused");
        benchmark::ClobberMemory();
    }
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.SetLabel(PixBlendRowInstructionSet());
}

#ifdef RT_BENCH_HAVE_QT
// The same pixels through QPainter onto an RGB32 image, the source in the given format.
void DrawWithQPainter(benchmark::State& state, QImage::Format format) {
    const auto px = SkinRgba();
    QImage source(kWidth, kHeight, QImage::Format_ARGB32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint8_t* p = &px[(static_cast<std::size_t>(y) * kWidth + x) * 4];
            source.setPixel(x, y, qRgba(p[0], p[1], p[2], p[3]));
        }
    source = source.convertToFormat(format);
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    target.fill(Qt::gray);
    for (auto _ : state) {
        QPainter painter(&target);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(0, 0, source);
        painter.end();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
// Qt's fast path: a premultiplied source, the form a program keeps for repeated drawing.
void BM_AlphaDraw_QPainterPremul(benchmark::State& state) {
    DrawWithQPainter(state, QImage::Format_ARGB32_Premultiplied);
}
// Straight alpha, as the image layer keeps it: Qt premultiplies on the way.
void BM_AlphaDraw_QPainterStraight(benchmark::State& state) { DrawWithQPainter(state, QImage::Format_ARGB32); }
BENCHMARK(BM_AlphaDraw_QPainterPremul)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlphaDraw_QPainterStraight)->Unit(benchmark::kMillisecond);
#endif

BENCHMARK(BM_SkinLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SkinLoad_LibpngSimplified)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageLoad_LibpngRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlphaDraw)->Unit(benchmark::kMillisecond);

}  // namespace
