#pragma once
// Builders for the image files the tests decode: every fixture is made in code so that a test
// shows its input.
#include "image/PixFile.h"
#include "image/PixImage.h"
#include "TestFolder.h"

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fixtures {

using Bytes = std::vector<std::uint8_t>;

inline void Put8(Bytes& b, std::uint32_t v) { b.push_back(static_cast<std::uint8_t>(v)); }
inline void Put16(Bytes& b, std::uint32_t v) {
    Put8(b, v);
    Put8(b, v >> 8);
}
inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v);
    Put16(b, v >> 16);
}
inline void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// A BMP file: 14-byte file header (unless headerless), an information header of the given size
// (12 core, 40, 64 or larger), the colour table, optional bit-field masks, then `pixels`.
struct Bmp {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t sizeImage = 0;
    std::int32_t xPels = 3780;
    std::int32_t yPels = 3780;
    std::vector<RGBQUAD> palette;
    std::vector<std::uint32_t> masks;  // written after the colour table
    Bytes pixels;
    bool withFileHeader = true;

    [[nodiscard]] Bytes Build() const {
        Bytes info;
        if (headerSize == 12) {
            Put32(info, 12);
            Put16(info, static_cast<std::uint32_t>(width));
            Put16(info, static_cast<std::uint32_t>(height));
            Put16(info, 1);
            Put16(info, bitCount);
        } else {
            Put32(info, headerSize);
            Put32(info, static_cast<std::uint32_t>(width));
            Put32(info, static_cast<std::uint32_t>(height));
            Put16(info, 1);
            Put16(info, bitCount);
            Put32(info, compression);
            Put32(info, sizeImage);
            Put32(info, static_cast<std::uint32_t>(xPels));
            Put32(info, static_cast<std::uint32_t>(yPels));
            Put32(info, clrUsed);
            Put32(info, 0);
            while (info.size() < headerSize) Put8(info, 0);
        }
        for (const RGBQUAD& q : palette) {
            Put8(info, q.rgbBlue);
            Put8(info, q.rgbGreen);
            Put8(info, q.rgbRed);
            if (headerSize != 12) Put8(info, q.rgbReserved);
        }
        for (std::uint32_t m : masks) Put32(info, m);
        Bytes out;
        if (withFileHeader) {
            Put16(out, 0x4D42);
            Put32(out, static_cast<std::uint32_t>(14 + info.size() + pixels.size()));
            Put32(out, 0);
            Put32(out, static_cast<std::uint32_t>(14 + info.size()));
        }
        Append(out, info);
        Append(out, pixels);
        return out;
    }
};

// Rows of `rowBytes` data bytes, each padded to four bytes (BMP row layout).
inline Bytes PadRows(const std::vector<Bytes>& rows) {
    Bytes out;
    for (const Bytes& r : rows) {
        Append(out, r);
        for (std::size_t i = r.size(); i % 4; ++i) Put8(out, 0);
    }
    return out;
}

// A PNG file written by libpng from top-down rows in the file's own sample layout.
struct Png {
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<Bytes> rows;            // top row first, packed as the file stores samples
    std::vector<png_color> palette;
    Bytes transAlpha;                   // palette files
    bool hasTransColor = false;         // grey and colour files
    png_color_16 transColor{};
    bool hasBackground = false;
    png_color_16 background{};
    bool hasPhys = false;
    png_uint_32 physX = 0, physY = 0;
    int physUnit = PNG_RESOLUTION_UNKNOWN;

    [[nodiscard]] Bytes Build() const {
        Bytes out;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_write_struct(&png, &info);
            return {};
        }
        png_set_write_fn(
            png, &out,
            [](png_structp p, png_bytep data, png_size_t n) {
                auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
                o->insert(o->end(), data, data + n);
            },
            nullptr);
        png_set_IHDR(png, info, width, height, bitDepth, colorType,
                     interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        if (!transAlpha.empty())
            png_set_tRNS(png, info, transAlpha.data(), static_cast<int>(transAlpha.size()), nullptr);
        if (hasTransColor) png_set_tRNS(png, info, nullptr, 1, &transColor);
        if (hasBackground) png_set_bKGD(png, info, &background);
        if (hasPhys) png_set_pHYs(png, info, physX, physY, physUnit);
        png_write_info(png, info);
        std::vector<png_bytep> pointers;
        for (const Bytes& r : rows) pointers.push_back(const_cast<png_bytep>(r.data()));
        png_write_image(png, pointers.data());
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        return out;
    }
};

// PixFile over bytes in memory; counts the seeks back to a position so tests can see detection.
class MemFile : public PixFile {
public:
    explicit MemFile(Bytes data, std::int32_t start = 0) : data_(std::move(data)), pos_(start) {}
    bool Close() override { return true; }
    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override {
        if (!size) return 0;
        const std::size_t left = pos_ < static_cast<std::int64_t>(data_.size()) ? data_.size() - pos_ : 0;
        const std::size_t items = std::min(count, left / size);
        if (items == 0) return 0;
        std::memcpy(buffer, data_.data() + pos_, items * size);
        pos_ += static_cast<std::int64_t>(items * size);
        return items;
    }
    std::size_t Write(const void*, std::size_t, std::size_t) override { return 0; }
    bool Seek(std::int32_t offset, int origin) override {
        const std::int64_t base = origin == 0 ? 0 : origin == 1 ? pos_ : static_cast<std::int64_t>(data_.size());
        if (base + offset < 0) return false;
        pos_ = base + offset;
        if (origin == 0) seeksTo.push_back(offset);
        return true;
    }
    std::int32_t Tell() override { return static_cast<std::int32_t>(pos_); }
    std::int32_t Size() override { return static_cast<std::int32_t>(data_.size()); }
    bool Flush() override { return true; }
    bool Eof() override { return pos_ >= static_cast<std::int64_t>(data_.size()); }
    std::int32_t Error() override { return 0; }
    std::int32_t GetC() override {
        if (pos_ >= static_cast<std::int64_t>(data_.size())) return -1;
        return data_[static_cast<std::size_t>(pos_++)];
    }
    std::vector<std::int32_t> seeksTo;

private:
    Bytes data_;
    std::int64_t pos_ = 0;
};

// A file in a private temporary folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const Bytes& data, const std::string& name = "fixture.bin") : path_(dir_.File(name)) {
        std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                      static_cast<std::streamsize>(data.size()));
    }
    [[nodiscard]] const char* Path() const { return path_.c_str(); }

private:
    TestFolder dir_{"pix-test-"};
    std::string path_;
};

// Decodes bytes with the given format object (or detection through a PixImage).
template <class Format>
bool DecodeAs(Format& img, const Bytes& data) {
    MemFile f(data);
    return img.Decode(&f);
}

inline RGBQUAD Q(std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a = 0) { return RGBQUAD{b, g, r, a}; }

// The colour of the pixel at (x, y), y counted from the bottom, as 0xRRGGBB.
inline std::uint32_t Rgb(const PixImage& img, int x, int y) {
    const RGBQUAD c = img.GetPixelColor(x, y, false);
    return (static_cast<std::uint32_t>(c.rgbRed) << 16) | (static_cast<std::uint32_t>(c.rgbGreen) << 8) | c.rgbBlue;
}

}  // namespace fixtures
