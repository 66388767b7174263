// Decoding speed of the JPEG, GIF and TIFF decoders against the libraries used directly on the
// same bytes: libjpeg-turbo decoding to BGR rows, giflib's DGifSlurp, libtiff's TIFFReadRGBAImage.
// Each pair reads one 512 x 512 picture made at start-up from memory.
#include "image/PixFile.h"
#include "image/PixImageGIF.h"
#include "image/PixImageJPG.h"
#include "image/PixImageTIF.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <tiffio.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int kSide = 512;

class MemoryFile : public PixFile {
public:
    explicit MemoryFile(const Bytes& data) : data_(data) {}
    bool Close() override { return true; }
    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override {
        if (!size) return 0;
        const std::size_t items = std::min(count, (data_.size() - pos_) / size);
        std::memcpy(buffer, data_.data() + pos_, items * size);
        pos_ += items * size;
        return items;
    }
    std::size_t Write(const void*, std::size_t, std::size_t) override { return 0; }
    bool Seek(std::int32_t offset, int origin) override {
        const std::int64_t base = origin == 0 ? 0 : origin == 1 ? std::int64_t(pos_) : std::int64_t(data_.size());
        const std::int64_t to = base + offset;
        if (to < 0) return false;
        pos_ = std::min<std::size_t>(std::size_t(to), data_.size());
        return true;
    }
    std::int32_t Tell() override { return std::int32_t(pos_); }
    std::int32_t Size() override { return std::int32_t(data_.size()); }
    bool Flush() override { return true; }
    bool Eof() override { return pos_ >= data_.size(); }
    std::int32_t Error() override { return 0; }
    std::int32_t GetC() override { return pos_ < data_.size() ? data_[pos_++] : -1; }

private:
    const Bytes& data_;
    std::size_t pos_ = 0;
};

// A picture with gradients and detail, so that every coder has work to do.
std::uint8_t Sample(int x, int y, int c) { return std::uint8_t((x * (c + 1) + y * (3 - c) + ((x ^ y) & 31)) & 255); }

const Bytes& JpegFile() {
    static const Bytes file = [] {
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        unsigned char* mem = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&c, &mem, &size);
        c.image_width = kSide;
        c.image_height = kSide;
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 85, TRUE);
        jpeg_start_compress(&c, TRUE);
        Bytes row(kSide * 3);
        while (c.next_scanline < c.image_height) {
            for (int x = 0; x < kSide; ++x)
                for (int k = 0; k < 3; ++k) row[std::size_t(x * 3 + k)] = Sample(x, int(c.next_scanline), k);
            JSAMPROW r = row.data();
            jpeg_write_scanlines(&c, &r, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        Bytes out(mem, mem + size);
        std::free(mem);
        return out;
    }();
    return file;
}

const Bytes& GifFile() {
    static const Bytes file = [] {
        Bytes out;
        int error = 0;
        GifFileType* g = EGifOpen(&out, [](GifFileType* gf, const GifByteType* data, int n) {
            auto* o = static_cast<Bytes*>(gf->UserData);
            o->insert(o->end(), data, data + n);
            return n;
        }, &error);
        ColorMapObject* map = GifMakeMapObject(256, nullptr);
        for (int i = 0; i < 256; ++i) map->Colors[i] = GifColorType{GifByteType(i), GifByteType(255 - i), GifByteType(i / 2)};
        EGifSetGifVersion(g, true);
        EGifPutScreenDesc(g, kSide, kSide, 8, 0, map);
        EGifPutImageDesc(g, 0, 0, kSide, kSide, false, nullptr);
        std::vector<GifPixelType> line(kSide);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) line[std::size_t(x)] = (Sample(x, y, 0) & 0xF0) | (y & 15);
            EGifPutLine(g, line.data(), kSide);
        }
        EGifCloseFile(g, &error);
        GifFreeMapObject(map);
        return out;
    }();
    return file;
}

struct TiffMemory {
    const Bytes* data;
    std::size_t pos = 0;
};

TIFF* OpenTiffMemory(TiffMemory& m) {
    return TIFFClientOpen(
        "bench", "r", &m,
        [](thandle_t h, void* buf, tmsize_t n) -> tmsize_t {
            auto& t = *static_cast<TiffMemory*>(h);
            const std::size_t k = std::min<std::size_t>(std::size_t(n), t.data->size() - t.pos);
            std::memcpy(buf, t.data->data() + t.pos, k);
            t.pos += k;
            return tmsize_t(k);
        },
        [](thandle_t, void*, tmsize_t) -> tmsize_t { return 0; },
        [](thandle_t h, toff_t off, int whence) -> toff_t {
            auto& t = *static_cast<TiffMemory*>(h);
            const std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? std::int64_t(t.pos) : std::int64_t(t.data->size());
            t.pos = std::size_t(base + std::int64_t(off));
            return toff_t(t.pos);
        },
        [](thandle_t) { return 0; },
        [](thandle_t h) -> toff_t { return toff_t(static_cast<TiffMemory*>(h)->data->size()); },
        [](thandle_t, void**, toff_t*) { return 0; }, [](thandle_t, void*, toff_t) {});
}

const Bytes& TiffFile() {
    static const Bytes file = [] {
        char path[] = "/tmp/bench-tiff-XXXXXX";
        const int fd = mkstemp(path);
        TIFF* t = TIFFFdOpen(fd, path, "w");
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kSide);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, kSide);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16);
        Bytes row(kSide * 3);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x)
                for (int k = 0; k < 3; ++k) row[std::size_t(x * 3 + k)] = Sample(x, y, k);
            TIFFWriteScanline(t, row.data(), std::uint32_t(y), 0);
        }
        TIFFClose(t);
        std::FILE* f = std::fopen(path, "rb");
        Bytes out;
        int c;
        while ((c = std::fgetc(f)) != EOF) out.push_back(std::uint8_t(c));
        std::fclose(f);
        std::remove(path);
        return out;
    }();
    return file;
}

void BM_JpegPixImage(benchmark::State& state) {
    const Bytes& file = JpegFile();
    for (auto _ : state) {
        MemoryFile f(file);
        PixImageJPG img;
        if (!img.Decode(&f)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(img.GetBits());
    }
}
BENCHMARK(BM_JpegPixImage);

void BM_JpegLibjpegBgr(benchmark::State& state) {
    const Bytes& file = JpegFile();
    Bytes pixels(std::size_t(kSide) * kSide * 3);
    for (auto _ : state) {
        jpeg_decompress_struct d;
        jpeg_error_mgr err;
        d.err = jpeg_std_error(&err);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, file.data(), file.size());
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&d);
        while (d.output_scanline < d.output_height) {
            JSAMPROW r = pixels.data() + std::size_t(d.output_scanline) * kSide * 3;
            jpeg_read_scanlines(&d, &r, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_JpegLibjpegBgr);

void BM_GifPixImage(benchmark::State& state) {
    const Bytes& file = GifFile();
    for (auto _ : state) {
        MemoryFile f(file);
        PixImageGIF img;
        if (!img.Decode(&f)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(img.GetBits());
    }
}
BENCHMARK(BM_GifPixImage);

void BM_GifSlurp(benchmark::State& state) {
    const Bytes& file = GifFile();
    for (auto _ : state) {
        MemoryFile f(file);
        int error = 0;
        GifFileType* g = DGifOpen(&f, [](GifFileType* gf, GifByteType* buf, int n) {
            return int(static_cast<MemoryFile*>(gf->UserData)->Read(buf, 1, std::size_t(n)));
        }, &error);
        if (!g || DGifSlurp(g) != GIF_OK) state.SkipWithError("giflib failed");
        benchmark::DoNotOptimize(g->SavedImages[0].RasterBits);
        DGifCloseFile(g, &error);
    }
}
BENCHMARK(BM_GifSlurp);

void BM_TiffPixImage(benchmark::State& state) {
    const Bytes& file = TiffFile();
    for (auto _ : state) {
        MemoryFile f(file);
        PixImageTIF img;
        if (!img.Decode(&f)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(img.GetBits());
    }
}
BENCHMARK(BM_TiffPixImage);

void BM_TiffReadRGBAImage(benchmark::State& state) {
    const Bytes& file = TiffFile();
    std::vector<std::uint32_t> raster(std::size_t(kSide) * kSide);
    for (auto _ : state) {
        TiffMemory m{&file};
        TIFF* t = OpenTiffMemory(m);
        if (!t || !TIFFReadRGBAImage(t, kSide, kSide, raster.data(), 1)) state.SkipWithError("libtiff failed");
        if (t) TIFFClose(t);
        benchmark::DoNotOptimize(raster.data());
    }
}
BENCHMARK(BM_TiffReadRGBAImage);

}  // namespace
