#include "image/PixImage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint64_t kStorageCeiling = std::numeric_limits<std::uint32_t>::max();

std::uint32_t RoundBpp(std::uint32_t bpp) {
    if (bpp <= 1) return 1;
    if (bpp <= 4) return 4;
    if (bpp <= 8) return 8;
    return 24;
}

std::uint8_t ClampByte(std::int32_t v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// Shifts right by s, or left by -s; shifts of 64 or more give 0. Masks read from a file can
// ask for any shift, so this never relies on the language's limits.
std::uint64_t ShiftSigned(std::uint64_t v, std::int32_t s) {
    if (s >= 64 || s <= -64) return 0;
    return s >= 0 ? v >> s : v << -s;
}

int CountBits(std::uint32_t v) {
    int n = 0;
    for (; v; v &= v - 1) ++n;
    return n;
}

}  // namespace

PixImage::PixImage(std::uint32_t type) { Startup(type); }

PixImage::PixImage(std::int32_t width, std::int32_t height, std::uint32_t bpp, std::uint32_t type) {
    Startup(type);
    Create(width, height, bpp, type);
}

PixImage::PixImage(const PixImage& src, bool copyPixels, bool copySelection, bool copyAlpha) {
    Startup(src.GetType());
    Copy(src, copyPixels, copySelection, copyAlpha);
}

PixImage::PixImage(const char* filename, std::uint32_t type) {
    Startup(type);
    Load(filename, type);
}

PixImage::~PixImage() { Destroy(); }

PixImage::Info PixImage::ZeroInfo() {
    Info zero;
    std::memset(static_cast<void*>(&zero), 0, sizeof zero);
    return zero;
}

void PixImage::SetError(const char* text) {
    if (text == info.lastError) return;
    std::strncpy(info.lastError, text ? text : "", 255);
    info.lastError[255] = '\0';
}

void PixImage::Startup(std::uint32_t type) {
    block = nullptr;
    selection = nullptr;
    alpha = nullptr;
    layers = nullptr;
    std::memset(static_cast<void*>(&head), 0, sizeof head);
    info = ZeroInfo();
    info.type = type;
    info.jpegQuality = 90;
    info.alphaMax = 255;
    info.transIndex = -1;
    info.enabled = true;
    SetXDPI(96);
    SetYDPI(96);
}

bool PixImage::Destroy() {
    if (layers) {
        for (std::int32_t i = 0; i < info.layerCount; ++i) delete layers[i];
        delete[] layers;
        layers = nullptr;
        info.layerCount = 0;
    }
    std::free(selection);
    selection = nullptr;
    std::free(alpha);
    alpha = nullptr;
    std::free(block);
    block = nullptr;
    info.pixels = nullptr;
    return true;
}

std::uint8_t* PixImage::Create(std::int32_t width, std::int32_t height, std::uint32_t bpp, std::uint32_t type) {
    Destroy();
    if (width <= 0 || height <= 0) {
        SetError("PixImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    bpp = RoundBpp(bpp);

    const std::uint64_t stride = ((static_cast<std::uint64_t>(bpp) * static_cast<std::uint64_t>(width) + 31) / 32) * 4;
    const std::uint32_t colours = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
    const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(height);
    const std::uint64_t total = 40 + static_cast<std::uint64_t>(colours) * 4 + imageSize;
    // The alpha and selection channels hold a byte per pixel: they must fit as well.
    const std::uint64_t pixelsCount = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (total > kStorageCeiling || pixelsCount > kStorageCeiling) {
        SetError(kMaxMemoryError);
        return nullptr;
    }

    head.biClrUsed = colours;
    info.stride = static_cast<std::uint32_t>(stride);
    info.type = type;
    head.biSize = 40;
    head.biWidth = width;
    head.biHeight = height;
    head.biPlanes = 1;
    head.biBitCount = static_cast<std::uint16_t>(bpp);
    head.biCompression = 0;
    head.biSizeImage = static_cast<std::uint32_t>(imageSize);
    head.biClrImportant = 0;

    // Zero-filled: rows that a short file leaves unwritten read as colour 0, never as stale heap.
    block = static_cast<std::uint8_t*>(std::calloc(1, static_cast<std::size_t>(total)));
    if (!block) {
        SetError("PixImage::Create can't allocate memory");
        return nullptr;
    }
    std::memcpy(block, &head, sizeof head);
    info.pixels = block + 40 + GetPaletteSize();
    info.nearestValid = false;
    return block;
}

void PixImage::SyncHeader() {
    if (block) std::memcpy(block, &head, sizeof head);
}

std::uint8_t* PixImage::GetBits(std::uint32_t row) const {
    if (!block) return nullptr;
    if (row >= static_cast<std::uint32_t>(head.biHeight)) return nullptr;
    return info.pixels + static_cast<std::size_t>(row) * info.stride;
}

std::uint32_t PixImage::GetSize() const { return 40 + head.biSizeImage + GetPaletteSize(); }

bool PixImage::IsInside(std::int32_t x, std::int32_t y) const {
    return x >= 0 && y >= 0 && x < head.biWidth && y < head.biHeight;
}

void PixImage::Clear(std::uint8_t level) {
    if (!block) return;
    std::uint8_t byte = level;
    if (head.biBitCount == 1) byte = level ? 255 : 0;
    else if (head.biBitCount == 4) byte = static_cast<std::uint8_t>((level & 15) * 17);
    std::memset(info.pixels, byte, head.biSizeImage);
}

void PixImage::CopyInfo(const PixImage& src) {
    if (block) return;
    info = src.info;
    info.pixels = nullptr;
}

void PixImage::Copy(const PixImage& src, bool copyPixels, bool copySelection, bool copyAlpha) {
    if (&src == this) return;
    info = src.info;
    info.pixels = nullptr;
    if (!src.block) {
        Destroy();
        return;
    }
    head.biXPelsPerMeter = src.head.biXPelsPerMeter;
    head.biYPelsPerMeter = src.head.biYPelsPerMeter;
    if (!Create(src.GetWidth(), src.GetHeight(), src.GetBpp(), src.GetType())) return;
    if (copyPixels) {
        std::memcpy(block, src.block, GetSize());
    } else {
        std::memcpy(block + 40, src.block + 40, std::min<std::uint32_t>(GetPaletteSize(), 256 * 4));
    }
    const std::size_t n = PixelCount();
    if (copySelection && src.selection) {
        selection = static_cast<std::uint8_t*>(std::malloc(n));
        if (selection) std::memcpy(selection, src.selection, n);
    }
    if (copyAlpha && src.alpha) {
        alpha = static_cast<std::uint8_t*>(std::malloc(n));
        if (alpha) std::memcpy(alpha, src.alpha, n);
    }
}

bool PixImage::Transfer(PixImage& from) {
    if (&from == this) return true;
    Destroy();
    head = from.head;
    info = from.info;
    block = from.block;
    selection = from.selection;
    alpha = from.alpha;
    layers = from.layers;

    std::memset(static_cast<void*>(&from.head), 0, sizeof from.head);
    from.info = ZeroInfo();
    from.block = nullptr;
    from.selection = nullptr;
    from.alpha = nullptr;
    from.layers = nullptr;
    return true;
}

void PixImage::Bitfield2RGB(const std::uint8_t* src, std::uint32_t redMask, std::uint32_t greenMask,
                            std::uint32_t blueMask, std::uint8_t bpp) {
    if (!block) return;
    Bitfield2RGBPrefix(src, redMask, greenMask, blueMask, bpp, UINT64_MAX);
}

std::uint64_t PixImage::Bitfield2RGBPrefix(const std::uint8_t* src, std::uint32_t redMask, std::uint32_t greenMask,
                                           std::uint32_t blueMask, std::uint8_t bpp, std::uint64_t srcBytes) {
    if (!block || !src || head.biBitCount != 24 || (bpp != 16 && bpp != 32)) return 0;
    const std::uint64_t width = static_cast<std::uint64_t>(head.biWidth);
    const std::uint64_t height = static_cast<std::uint64_t>(head.biHeight);
    const std::uint64_t bytesPerPixel = bpp / 8;
    const std::uint64_t srcStride = bpp == 16 ? ((width + 1) / 2) * 4 : width * 4;
    srcBytes = std::min(srcBytes, srcStride * height);
    // Whole rows, then the pixels of a last row that the data only began.
    const std::uint64_t fullRows = srcBytes / srcStride;
    const std::uint64_t lastPixels = std::min(width, (srcBytes % srcStride) / bytesPerPixel);
    const std::uint64_t rows = fullRows + (lastPixels ? 1 : 0);

    const int r = CountBits(redMask), g = CountBits(greenMask), b = CountBits(blueMask);
    // The blue shift takes the red count: right for the 5-5-5 and 5-6-5 layouts.
    const std::int32_t blueShift = -(8 - r);
    const std::int32_t greenShift = (r + g) - 8;
    const std::int32_t redShift = (r + g + b) - 8;
    // Last row first and each row from its end, so that the source may be these very rows.
    for (std::uint64_t y = rows; y-- > 0;) {
        const std::uint8_t* s = src + y * srcStride;
        std::uint8_t* d = info.pixels + y * info.stride;
        const std::uint64_t count = y < fullRows ? width : lastPixels;
        for (std::uint64_t x = count; x-- > 0;) {
            std::uint8_t blue, green, red;
            if (bpp == 16) {
                const std::uint32_t w = static_cast<std::uint32_t>(s[2 * x]) | (static_cast<std::uint32_t>(s[2 * x + 1]) << 8);
                blue = static_cast<std::uint8_t>(ShiftSigned(w & blueMask, blueShift));
                green = static_cast<std::uint8_t>(ShiftSigned(w & greenMask, greenShift));
                red = static_cast<std::uint8_t>(ShiftSigned(w & redMask, redShift));
            } else {
                blue = s[4 * x];
                green = s[4 * x + 1];
                red = s[4 * x + 2];
            }
            d[3 * x] = blue;
            d[3 * x + 1] = green;
            d[3 * x + 2] = red;
        }
    }
    return fullRows * info.stride + lastPixels * 3;
}

// ---- Transforms --------------------------------------------------------------------------------

bool PixImage::Flip() {
    if (!block) return false;
    PixImage copy(info.type);
    copy.Copy(*this, false, true, true);
    if (!copy.IsValid()) return false;
    const std::uint32_t h = static_cast<std::uint32_t>(head.biHeight);
    for (std::uint32_t y = 0; y < h; ++y) std::memcpy(copy.GetBits(h - 1 - y), GetBits(y), info.stride);
    copy.AlphaFlip();
    Transfer(copy);
    return true;
}

bool PixImage::Mirror() {
    if (!block) return false;
    PixImage copy(info.type);
    copy.Copy(*this, false, true, true);
    if (!copy.IsValid()) return false;
    const std::int32_t w = head.biWidth, h = head.biHeight;
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint8_t* s = GetBits(static_cast<std::uint32_t>(y));
        std::uint8_t* d = copy.GetBits(static_cast<std::uint32_t>(y));
        switch (head.biBitCount) {
        case 8:
            for (std::int32_t x = 0; x < w; ++x) d[x] = s[w - 1 - x];
            break;
        case 24:
            for (std::int32_t x = 0; x < w; ++x) std::memcpy(d + 3 * x, s + 3 * (w - 1 - x), 3);
            break;
        default:
            for (std::int32_t x = 0; x < w; ++x) copy.SetPixelIndex(x, y, BlindGetPixelIndex(w - 1 - x, y));
            break;
        }
    }
    copy.AlphaMirror();
    Transfer(copy);
    return true;
}

bool PixImage::RotateLeft(PixImage* dst) { return Rotate(true, dst); }
bool PixImage::RotateRight(PixImage* dst) { return Rotate(false, dst); }

bool PixImage::Rotate(bool left, PixImage* dst) {
    if (!block) return false;
    const std::int32_t newWidth = head.biHeight, newHeight = head.biWidth;
    PixImage out(info.type);
    out.info = info;
    out.info.pixels = nullptr;
    out.head.biXPelsPerMeter = head.biYPelsPerMeter;
    out.head.biYPelsPerMeter = head.biXPelsPerMeter;
    if (!out.Create(newWidth, newHeight, head.biBitCount, info.type)) return false;
    if (GetPalette()) std::memcpy(out.GetPalette(), GetPalette(), GetPaletteSize());
    if (alpha) {
        out.AlphaCreate();
        if (!out.alpha) return false;
    }
    const std::uint32_t bpp = head.biBitCount;
    constexpr std::int32_t kTile = 64;
    for (std::int32_t ty = 0; ty < newHeight; ty += kTile) {
        for (std::int32_t tx = 0; tx < newWidth; tx += kTile) {
            const std::int32_t xEnd = std::min(tx + kTile, newWidth), yEnd = std::min(ty + kTile, newHeight);
            for (std::int32_t y = ty; y < yEnd; ++y) {
                for (std::int32_t x = tx; x < xEnd; ++x) {
                    const std::int32_t sx = left ? y : newHeight - 1 - y;
                    const std::int32_t sy = left ? newWidth - 1 - x : x;
                    if (bpp == 24) {
                        std::memcpy(out.BlindGetPixelPointer(x, y), BlindGetPixelPointer(sx, sy), 3);
                    } else {
                        out.SetPixelIndex(x, y, BlindGetPixelIndex(sx, sy));
                    }
                    if (alpha) out.alpha[static_cast<std::size_t>(y) * newWidth + x] = BlindAlphaGet(sx, sy);
                }
            }
            info.progress = left ? 100 * tx / newWidth : 100 * ty / newHeight;
        }
    }
    if (dst) dst->Transfer(out);
    else Transfer(out);
    return true;
}

bool PixImage::Negative() {
    if (!block) return false;
    const std::int32_t w = head.biWidth, h = head.biHeight;
    if (head.biBitCount > 8) {
        if (!selection) {
            for (std::uint32_t i = 0; i < head.biSizeImage; ++i) info.pixels[i] = static_cast<std::uint8_t>(~info.pixels[i]);
        } else {
            for (std::int32_t y = 0; y < h; ++y)
                for (std::int32_t x = 0; x < w; ++x)
                    if (SelectionIsInside(x, y)) {
                        std::uint8_t* p = BlindGetPixelPointer(x, y);
                        for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(~p[c]);
                    }
        }
        info.transColor.rgbBlue = static_cast<std::uint8_t>(255 - info.transColor.rgbBlue);
        info.transColor.rgbGreen = static_cast<std::uint8_t>(255 - info.transColor.rgbGreen);
        info.transColor.rgbRed = static_cast<std::uint8_t>(255 - info.transColor.rgbRed);
        return true;
    }
    if (IsGrayScale()) {
        const std::uint8_t top = static_cast<std::uint8_t>(head.biClrUsed - 1);
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x)
                if (SelectionIsInside(x, y))
                    SetPixelIndex(x, y, static_cast<std::uint8_t>(top - BlindGetPixelIndex(x, y)));
    } else {
        RGBQUAD* pal = GetPalette();
        for (std::uint32_t i = 0; i < head.biClrUsed; ++i) {
            pal[i].rgbBlue = static_cast<std::uint8_t>(255 - pal[i].rgbBlue);
            pal[i].rgbGreen = static_cast<std::uint8_t>(255 - pal[i].rgbGreen);
            pal[i].rgbRed = static_cast<std::uint8_t>(255 - pal[i].rgbRed);
        }
        info.nearestValid = false;
    }
    return true;
}

bool PixImage::ShiftRGB(std::int32_t red, std::int32_t green, std::int32_t blue) {
    if (!block) return false;
    auto shift = [&](std::uint8_t* bgr) {
        bgr[0] = ClampByte(bgr[0] + blue);
        bgr[1] = ClampByte(bgr[1] + green);
        bgr[2] = ClampByte(bgr[2] + red);
    };
    if (head.biClrUsed) {
        RGBQUAD* pal = GetPalette();
        for (std::uint32_t i = 0; i < head.biClrUsed; ++i) shift(&pal[i].rgbBlue);
        info.nearestValid = false;
        return true;
    }
    std::int32_t xmin = 0, xmax = head.biWidth, ymin = 0, ymax = head.biHeight;
    if (selection) {
        xmin = std::max(0, info.selectionBox.left);
        xmax = std::min(head.biWidth, info.selectionBox.right + 1);
        ymin = std::max(0, info.selectionBox.bottom);
        ymax = std::min(head.biHeight, info.selectionBox.top + 1);
    }
    for (std::int32_t y = ymin; y < ymax; ++y)
        for (std::int32_t x = xmin; x < xmax; ++x)
            if (SelectionIsInside(x, y)) shift(BlindGetPixelPointer(x, y));
    return true;
}

// ---- Alpha channel -----------------------------------------------------------------------------

bool PixImage::AlphaCreate() {
    if (alpha) return true;
    if (!block) return false;
    const std::size_t n = PixelCount();
    alpha = static_cast<std::uint8_t*>(std::malloc(n));
    if (!alpha) return false;
    std::memset(alpha, 255, n);
    return true;
}

void PixImage::AlphaDelete() {
    std::free(alpha);
    alpha = nullptr;
}

void PixImage::AlphaSet(std::int32_t x, std::int32_t y, std::uint8_t level) {
    if (alpha && IsInside(x, y)) alpha[static_cast<std::size_t>(y) * head.biWidth + x] = level;
}

std::uint8_t PixImage::AlphaGet(std::int32_t x, std::int32_t y) const {
    if (alpha && IsInside(x, y)) return alpha[static_cast<std::size_t>(y) * head.biWidth + x];
    return 0;
}

std::uint8_t* PixImage::AlphaGetPointer(std::int32_t x, std::int32_t y) const {
    if (alpha && IsInside(x, y)) return alpha + static_cast<std::size_t>(y) * head.biWidth + x;
    return nullptr;
}

bool PixImage::AlphaFlip() {
    if (!alpha) return false;
    const std::size_t w = static_cast<std::size_t>(head.biWidth), h = static_cast<std::size_t>(head.biHeight);
    auto* flipped = static_cast<std::uint8_t*>(std::malloc(w * h));
    if (!flipped) return false;
    for (std::size_t y = 0; y < h; ++y) std::memcpy(flipped + (h - 1 - y) * w, alpha + y * w, w);
    std::free(alpha);
    alpha = flipped;
    return true;
}

bool PixImage::AlphaMirror() {
    if (!alpha) return false;
    const std::size_t w = static_cast<std::size_t>(head.biWidth), h = static_cast<std::size_t>(head.biHeight);
    auto* mirrored = static_cast<std::uint8_t*>(std::malloc(w * h));
    if (!mirrored) return false;
    for (std::size_t y = 0; y < h; ++y)
        for (std::size_t x = 0; x < w; ++x) mirrored[y * w + x] = alpha[y * w + (w - 1 - x)];
    std::free(alpha);
    alpha = mirrored;
    return true;
}

// ---- Selection ---------------------------------------------------------------------------------

void PixImage::SelectionDelete() {
    std::free(selection);
    selection = nullptr;
    info.selectionBox = Rect{head.biWidth, 0, 0, head.biHeight};
}

bool PixImage::SelectionIsInside(std::int32_t x, std::int32_t y) const {
    if (!IsInside(x, y)) return false;
    if (!selection) return true;
    return selection[static_cast<std::size_t>(y) * head.biWidth + x] != 0;
}
