#include "image/PixImageTIF.h"

#include "image/PixDecodeLimits.h"
#include "image/PixFile.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>

#include <tiffio.h>

namespace {

// No single allocation libtiff makes for one of our pictures comes near this.
constexpr tmsize_t kMaxLibtiffAllocation = tmsize_t{256} << 20;

// Thrown inside Decode only; the text becomes the last-error text.
struct TifError {
    const char* text;
};

// ---- Client procedures: the handle's client data is the PixFile ----------------------------
PixFile* File(thandle_t h) { return static_cast<PixFile*>(h); }

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t size) {
    return size <= 0 ? 0 : static_cast<tmsize_t>(File(h)->Read(buf, 1, static_cast<std::size_t>(size)));
}
tmsize_t WriteProc(thandle_t h, void* buf, tmsize_t size) {
    return size <= 0 ? 0 : static_cast<tmsize_t>(File(h)->Write(buf, 1, static_cast<std::size_t>(size)));
}
toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
    constexpr toff_t kFail = static_cast<toff_t>(-1);
    if (offset == kFail) return kFail;
    // The stream addresses 31 bits; anything beyond cannot be in the file.
    const auto signedOffset = static_cast<std::int64_t>(offset);
    if (signedOffset > std::numeric_limits<std::int32_t>::max() ||
        signedOffset < std::numeric_limits<std::int32_t>::min())
        return kFail;
    if (!File(h)->Seek(static_cast<std::int32_t>(signedOffset), whence)) return kFail;
    return whence == SEEK_SET ? offset : static_cast<toff_t>(File(h)->Tell());
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) {
    const std::int32_t size = File(h)->Size();
    return size < 0 ? 0 : static_cast<toff_t>(size);
}
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// libtiff's diagnostics: kept in the image's error text, never printed.
int OnMessage(TIFF*, void* userData, const char* module, const char* fmt, va_list ap) {
    char* text = static_cast<char*>(userData);
    constexpr int kSize = sizeof PixImage::Info::lastError;
    // The message goes straight after its module's name; whatever does not fit is cut off.
    const int prefix = std::snprintf(text, kSize, "%s: ", module ? module : "libtiff");
    if (prefix >= 0 && prefix < kSize) std::vsnprintf(text + prefix, kSize - prefix, fmt, ap);
    return 1;
}

// Messages that libtiff sends to its process-wide handlers (before a handle exists, or from
// calls without one) are dropped as well.
void SilenceLibtiff() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

// CIE L*a*b* bytes (a and b signed) to sRGB.
void LabToRgb(std::uint8_t l, std::uint8_t a8, std::uint8_t b8, std::uint8_t out[3]) {
    const double a = a8 > 127 ? a8 - 256.0 : a8;
    const double b = b8 > 127 ? b8 - 256.0 : b8;
    const double p = (l / 2.55 + 16) / 116;
    const double x = std::pow(p + a * 0.002, 3) * 0.95047;
    const double y = std::pow(p, 3);
    const double z = std::pow(p - b * 0.005, 3) * 1.0883;
    double rgb[3] = {3.240479 * x - 1.53715 * y - 0.498535 * z, -0.969256 * x + 1.875992 * y + 0.041556 * z,
                     0.055648 * x - 0.204043 * y + 1.057311 * z};
    for (int i = 0; i < 3; ++i) {
        double c = rgb[i];
        c = c > 0.00304 ? 1.055 * std::pow(c, 1 / 2.4) - 0.055 : 12.92 * c;
        const double v = std::clamp(c * 255, 0.0, 255.0);
        out[2 - i] = static_cast<std::uint8_t>(v);  // blue, green, red
    }
}

}  // namespace

struct PixImageTIF::Tags {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t samples = 1;
    std::uint16_t bits = 1;
    std::uint32_t rowsPerStrip = 0xFFFFFFFFu;
    std::uint16_t photometric = 0;
    std::uint16_t orientation = 1;
    bool colour = false;
    bool unassociatedAlpha = false;
};

PixImageTIF::~PixImageTIF() { Close(); }

void PixImageTIF::Close() {
    if (handle_) TIFFClose(handle_);
    handle_ = nullptr;
}

bool PixImageTIF::Decode(PixFile* stream) {
    if (!stream) return false;
    bool ok = false;
    try {
        ok = DecodeOpen(stream);
    } catch (const TifError& e) {
        Destroy();
        SetError(e.text);
    } catch (const std::bad_alloc&) {
        Destroy();
        SetError("PixImageTIF can't allocate memory");
    }
    Close();
    return ok;
}

bool PixImageTIF::DecodeOpen(PixFile* stream) {
    SilenceLibtiff();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) throw TifError{"Error encountered while opening TIFF file"};
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibtiffAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnMessage, info.lastError);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnMessage, info.lastError);
    handle_ = TIFFClientOpenExt("TIFF IMAGE", "rm", stream, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                                MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    if (!handle_) throw TifError{"Error encountered while opening TIFF file"};

    info.frameCount = TIFFNumberOfDirectories(handle_);
    if (info.frame < 0 || !TIFFSetDirectory(handle_, static_cast<tdir_t>(info.frame)))
        throw TifError{"Error: page not present in TIFF file"};

    Tags t;
    TIFFGetField(handle_, TIFFTAG_IMAGEWIDTH, &t.width);
    TIFFGetField(handle_, TIFFTAG_IMAGELENGTH, &t.height);
    TIFFGetField(handle_, TIFFTAG_SAMPLESPERPIXEL, &t.samples);
    TIFFGetField(handle_, TIFFTAG_BITSPERSAMPLE, &t.bits);
    TIFFGetField(handle_, TIFFTAG_ROWSPERSTRIP, &t.rowsPerStrip);
    TIFFGetField(handle_, TIFFTAG_PHOTOMETRIC, &t.photometric);
    TIFFGetField(handle_, TIFFTAG_ORIENTATION, &t.orientation);
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(handle_, TIFFTAG_RESOLUTIONUNIT, &unit);
    float resolution = 0;
    if (TIFFGetField(handle_, TIFFTAG_XRESOLUTION, &resolution))
        SetXDPI(pixlimits::ToInt32(unit == RESUNIT_CENTIMETER ? resolution * 2.54f + 0.5f : resolution));
    if (TIFFGetField(handle_, TIFFTAG_YRESOLUTION, &resolution))
        SetYDPI(pixlimits::ToInt32(unit == RESUNIT_CENTIMETER ? resolution * 2.54f + 0.5f : resolution));
    float position = 0;
    if (TIFFGetField(handle_, TIFFTAG_XPOSITION, &position)) info.xOffset = pixlimits::ToInt32(position);
    if (TIFFGetField(handle_, TIFFTAG_YPOSITION, &position)) info.yOffset = pixlimits::ToInt32(position);
    info.transIndex = -1;
    if (t.rowsPerStrip > t.height) {
        t.rowsPerStrip = t.height;
        TIFFSetField(handle_, TIFFTAG_ROWSPERSTRIP, t.rowsPerStrip);
    }
    std::uint16_t extraCount = 0;
    std::uint16_t* extraTypes = nullptr;
    if (TIFFGetField(handle_, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) && extraCount > 0)
        t.unassociatedAlpha = extraTypes[0] == EXTRASAMPLE_UNASSALPHA;

    // Several samples are colour unless the file is CIE L*a*b*, the one multi-sample kind
    // converted here; everything else goes through libtiff's RGBA reader.
    t.colour = (t.bits >= 8 && t.photometric == PHOTOMETRIC_RGB) || t.photometric == PHOTOMETRIC_YCBCR ||
               t.photometric == PHOTOMETRIC_SEPARATED || t.photometric == PHOTOMETRIC_LOGL ||
               t.photometric == PHOTOMETRIC_LOGLUV || (t.samples >= 3 && t.photometric != PHOTOMETRIC_CIELAB);
    std::uint32_t depth = 8;
    if (t.colour) {
        depth = 24;
    } else if (t.bits == 1 && t.samples == 1 &&
               (t.photometric == PHOTOMETRIC_MINISWHITE || t.photometric == PHOTOMETRIC_MINISBLACK ||
                t.photometric == PHOTOMETRIC_PALETTE)) {
        // Packed one-bit rows are already the image's row layout, palette files included.
        depth = 1;
    } else {
        // Two-bit samples are widened to a byte each while the rows are copied.
        depth = t.bits == 4 ? 4 : 8;
    }

    if (t.width > 0x7FFFFFFF || t.height > 0x7FFFFFFF) throw TifError{"PixImageTIF can't create image"};
    if (!pixlimits::PixelsAllowed(t.width, t.height)) throw TifError{kMaxMemoryError};
    if (!Create(static_cast<std::int32_t>(t.width), static_cast<std::int32_t>(t.height), depth, PIX_FORMAT_TIF))
        throw TifError{"PixImageTIF can't create image"};
    if (t.samples == 4 || (t.samples == 2 && t.bits == 8)) AlphaCreate();
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(handle_, TIFFTAG_COMPRESSION, &compression);
    SetCodecOption(compression, PIX_FORMAT_TIF);

    if (t.colour) return ReadColour(t);
    return ReadStrips(t);
}

bool PixImageTIF::ReadColour(const Tags& t) {
    const std::size_t count = static_cast<std::size_t>(t.width) * t.height;
    std::unique_ptr<std::uint32_t[]> raster(new (std::nothrow) std::uint32_t[count]);
    if (!raster) throw TifError{"No space for raster buffer"};
    if (!TIFFReadRGBAImage(handle_, t.width, t.height, raster.get(), 1)) throw TifError{"Corrupted TIFF file!"};
    const bool withAlpha = t.samples == 4 && AlphaIsValid();
    for (std::uint32_t y = 0; y < t.height; ++y) {
        std::uint8_t* out = GetBits(y);
        const std::uint32_t* in = raster.get() + static_cast<std::size_t>(y) * t.width;
        std::uint8_t* a = withAlpha ? AlphaGetPointer(0, static_cast<std::int32_t>(y)) : nullptr;
        for (std::uint32_t x = 0; x < t.width; ++x) {
            const std::uint32_t v = in[x];
            std::uint32_t r = TIFFGetR(v), g = TIFFGetG(v), b = TIFFGetB(v);
            const std::uint32_t alpha = TIFFGetA(v);
            // libtiff premultiplies unassociated alpha; the image keeps straight colours.
            if (withAlpha && t.unassociatedAlpha && alpha != 0 && alpha != 255) {
                r = std::min<std::uint32_t>(255, (r * 255 + alpha / 2) / alpha);
                g = std::min<std::uint32_t>(255, (g * 255 + alpha / 2) / alpha);
                b = std::min<std::uint32_t>(255, (b * 255 + alpha / 2) / alpha);
            }
            out[3 * x] = static_cast<std::uint8_t>(b);
            out[3 * x + 1] = static_cast<std::uint8_t>(g);
            out[3 * x + 2] = static_cast<std::uint8_t>(r);
            if (a) a[x] = static_cast<std::uint8_t>(alpha);
        }
    }
    return true;
}

void PixImageTIF::SetTiffPalette(const Tags& t) {
    RGBQUAD pal[256] = {};
    const std::uint32_t colours = head.biClrUsed;
    if ((t.photometric == PHOTOMETRIC_MINISWHITE || t.photometric == PHOTOMETRIC_MINISBLACK) && t.bits == 1) {
        const int white = t.photometric == PHOTOMETRIC_MINISBLACK ? 1 : 0;
        pal[white] = RGBQUAD{255, 255, 255, 0};
    } else if (t.photometric == PHOTOMETRIC_MINISBLACK || t.photometric == PHOTOMETRIC_MINISWHITE) {
        // The ramp spans the file's sample range: two-bit grey lands in 8-bit pixels but has
        // only four levels.
        const std::uint32_t levels = t.bits < 8 ? std::min<std::uint32_t>(colours, 1u << t.bits) : colours;
        const std::uint32_t step = levels > 1 ? 255 / (levels - 1) : 0;
        for (std::uint32_t i = 0; i < levels && i < 256; ++i) {
            std::uint32_t v = step * i;
            if (t.photometric == PHOTOMETRIC_MINISWHITE) v = 255 - v;
            pal[i] = RGBQUAD{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v), 0};
        }
    } else if (t.photometric == PHOTOMETRIC_PALETTE) {
        std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (TIFFGetField(handle_, TIFFTAG_COLORMAP, &red, &green, &blue) && red && green && blue) {
            // The map has 2^bits entries per channel; the palette takes at most 256 of them.
            const std::uint32_t n = t.bits >= 8 ? 256 : 1u << t.bits;
            bool wide = false;
            for (std::uint32_t i = 0; i < n; ++i)
                if (red[i] >= 256 || green[i] >= 256 || blue[i] >= 256) wide = true;
            for (std::uint32_t i = 0; i < n; ++i) {
                auto scale = [&](std::uint16_t v) {
                    return static_cast<std::uint8_t>(wide ? v * 255u / 65535u : v & 0xFFu);
                };
                pal[i] = RGBQUAD{scale(blue[i]), scale(green[i]), scale(red[i]), 0};
            }
        }
    }
    SetPalette(pal, 256);
}

bool PixImageTIF::ReadStrips(const Tags& t) {
    SetTiffPalette(t);

    const std::uint64_t width = t.width;
    const std::uint64_t line = (std::uint64_t{t.bits} * width * t.samples + 7) / 8;
    std::uint32_t rowsPerStrip = t.rowsPerStrip ? t.rowsPerStrip : t.height;
    const bool tiled = TIFFIsTiled(handle_) != 0;
    std::uint32_t tileWidth = 0, tileLength = 0;
    std::unique_ptr<std::uint8_t[]> tile;
    tmsize_t tileSize = 0, tileRowSize = 0;
    if (tiled) {
        TIFFGetField(handle_, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(handle_, TIFFTAG_TILELENGTH, &tileLength);
        tileSize = TIFFTileSize(handle_);
        tileRowSize = TIFFTileRowSize(handle_);
        if (tileWidth == 0 || tileLength == 0 || tileSize <= 0 || tileRowSize <= 0 ||
            static_cast<std::uint64_t>(tileRowSize) * tileLength > static_cast<std::uint64_t>(tileSize))
            throw TifError{"Corrupted tiled TIFF file!"};
        rowsPerStrip = std::min(tileLength, t.height);
        // Bounded as the strip buffer below and libtiff's own blocks are: a few header bytes may
        // claim a tile of gigabytes.
        if (tileSize > kMaxLibtiffAllocation) throw TifError{"PixImageTIF can't allocate memory"};
        tile.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(tileSize)]);
        if (!tile) throw TifError{"PixImageTIF can't allocate memory"};
    }
    // The strip buffer holds exactly the rows that are read, whatever the sample size.
    const std::uint64_t bufferSize = line * rowsPerStrip;
    if (line == 0 || bufferSize > static_cast<std::uint64_t>(kMaxLibtiffAllocation))
        throw TifError{"PixImageTIF can't allocate memory"};
    std::unique_ptr<std::uint8_t[]> strip(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bufferSize)]());
    if (!strip) throw TifError{"PixImageTIF can't allocate memory"};

    const std::int32_t height = static_cast<std::int32_t>(t.height);
    const bool lab = t.photometric == PHOTOMETRIC_CIELAB && t.samples >= 3;
    for (std::uint32_t start = 0; start < t.height; start += rowsPerStrip) {
        const std::uint32_t rows = std::min(rowsPerStrip, t.height - start);
        if (!tiled) {
            const tmsize_t n = TIFFReadEncodedStrip(handle_, TIFFComputeStrip(handle_, start, 0), strip.get(),
                                                    static_cast<tmsize_t>(line * rows));
            if (n == -1) throw TifError{"Corrupted TIFF file!"};
        } else {
            for (std::uint32_t x0 = 0, col = 0; x0 < t.width; x0 += tileWidth, ++col) {
                if (TIFFReadTile(handle_, tile.get(), x0, start, 0, 0) < 0) throw TifError{"Corrupted tiled TIFF file!"};
                const std::uint64_t offset = std::uint64_t{col} * static_cast<std::uint64_t>(tileRowSize);
                if (offset >= line) break;
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(tileRowSize, line - offset));
                for (std::uint32_t r = 0; r < rows; ++r)
                    std::memcpy(strip.get() + r * line + offset, tile.get() + r * static_cast<std::uint64_t>(tileRowSize), n);
            }
        }

        for (std::uint32_t y = 0; y < rows; ++y) {
            std::uint8_t* bits = strip.get() + (rows - y - 1) * line;
            if (t.bits == 16) {
                // Samples are in host order now: keep the high byte of each.
                const std::uint64_t samples = width * t.samples;
                for (std::uint64_t i = 0; i < samples; ++i) {
                    std::uint16_t v;
                    std::memcpy(&v, bits + 2 * i, 2);
                    bits[i] = static_cast<std::uint8_t>(v >> 8);
                }
            }
            const std::int32_t row = height - static_cast<std::int32_t>(start) - static_cast<std::int32_t>(rows) +
                                     static_cast<std::int32_t>(y);
            const std::uint64_t usable = t.bits == 16 ? line / 2 : line;  // bytes per row after narrowing
            if (t.samples == 1 && t.bits == 2 && GetBpp() == 8) {
                std::uint8_t* out = GetBits(static_cast<std::uint32_t>(row));
                const std::uint64_t n = std::min<std::uint64_t>(width, GetEffWidth());
                for (std::uint64_t x = 0; x < n; ++x)
                    out[x] = static_cast<std::uint8_t>((bits[x / 4] >> (6 - 2 * (x % 4))) & 3u);
            } else if (t.samples == 1) {
                std::memcpy(GetBits(static_cast<std::uint32_t>(row)), bits,
                            static_cast<std::size_t>(std::min<std::uint64_t>(usable, GetEffWidth())));
            } else if (t.samples == 2) {
                std::uint8_t* out = GetBits(static_cast<std::uint32_t>(row));
                for (std::uint64_t x = 0; x < width && 2 * x + 1 < usable && x < GetEffWidth(); ++x) {
                    out[x] = bits[2 * x];
                    AlphaSet(static_cast<std::int32_t>(x), row, bits[2 * x + 1]);
                }
            } else if (lab) {
                if (GetBpp() != 24) {
                    if (!Create(static_cast<std::int32_t>(t.width), height, 24, PIX_FORMAT_TIF))
                        throw TifError{"PixImageTIF can't create image"};
                    if (t.samples >= 4) AlphaCreate();
                }
                std::uint8_t* out = GetBits(static_cast<std::uint32_t>(row));
                for (std::uint64_t x = 0; x < width && (x + 1) * t.samples <= usable; ++x) {
                    const std::uint8_t* px = bits + x * t.samples;
                    LabToRgb(px[0], px[1], px[2], out + 3 * x);
                    if (t.samples >= 4) AlphaSet(static_cast<std::int32_t>(x), row, px[3]);
                }
            }
        }
    }
    strip.reset();
    tile.reset();

    switch (t.orientation) {
    case ORIENTATION_TOPRIGHT: Mirror(); break;
    case ORIENTATION_BOTRIGHT: Flip(); Mirror(); break;
    case ORIENTATION_BOTLEFT: Flip(); break;
    case ORIENTATION_LEFTTOP: RotateRight(); Mirror(); break;
    case ORIENTATION_RIGHTTOP: RotateRight(); break;
    case ORIENTATION_RIGHTBOT: RotateLeft(); Mirror(); break;
    case ORIENTATION_LEFTBOT: RotateLeft(); break;
    default: break;
    }
    return true;
}
