#pragma once
// In-memory raster image: a packed device-independent bitmap (header, palette and pixel rows in
// one heap block that the device-context functions accept as it is) with an optional 8-bit alpha
// channel, a transparent palette index or colour and a global alpha maximum.
//
// Rows are stored bottom-up: row 0 is the bottom line of the picture and every y coordinate of
// this class counts from the bottom. Rows are padded to a multiple of 4 bytes.
//
// Nothing here throws. Operations report failure by returning false, 0 or null; where there is
// a message it is kept in the image's last-error text (at most 255 characters), which survives
// Destroy so it can be read after a failed load. All of it runs on the GUI thread.
#include "platform/drawing/Gdi.h"

#include <cstdint>
#include <cstdio>

class PixFile;

// Format type numbers stored in the image's type field.
enum PixFormat : std::uint32_t {
    PIX_FORMAT_UNKNOWN = 0,
    PIX_FORMAT_BMP = 1,
    PIX_FORMAT_GIF = 2,
    PIX_FORMAT_JPG = 3,
    PIX_FORMAT_PNG = 4,
    PIX_FORMAT_ICO = 5,
    PIX_FORMAT_TIF = 6,
    PIX_FORMAT_TGA = 7,
    PIX_FORMAT_PCX = 8,
    PIX_FORMAT_WMF = 9,
    PIX_FORMAT_COUNT = 10,
};

class PixImage {
public:
    struct Rect {
        std::int32_t left = 0;
        std::int32_t top = 0;
        std::int32_t right = 0;
        std::int32_t bottom = 0;
    };

    // Everything about an image except its pixels. Copied whole by CopyInfo and Copy, so options set
    // on an image before loading reach the decoder that fills it.
    struct Info {
        std::uint32_t stride = 0;            // bytes per pixel row, a multiple of 4
        std::uint8_t* pixels = nullptr;      // first row inside the pixel block
        std::uint32_t type = 0;              // PixFormat the image came from
        char lastError[256] = {};
        std::int32_t progress = 0;           // percentage, written by the rotations
        std::int32_t transIndex = -1;        // transparent palette index, -1 for none
        RGBQUAD transColor{};                // transparent colour of a true-colour image
        std::uint8_t jpegQuality = 90;
        std::uint8_t jpegScale = 0;
        std::int32_t frame = 0;              // frame to decode from a multi-frame file
        std::int32_t frameCount = 0;         // set by the multi-frame decoders
        std::uint32_t frameDelay = 0;
        std::int32_t xDpi = 96;
        std::int32_t yDpi = 96;
        Rect selectionBox{};                 // bottom-up numbering: top is above bottom
        std::uint8_t alphaMax = 255;         // scales every alpha value when drawing
        bool alphaPalette = false;           // palette reserved bytes carry alpha
        bool enabled = true;
        std::int32_t xOffset = 0;
        std::int32_t yOffset = 0;
        std::uint32_t codecOptions[PIX_FORMAT_COUNT] = {};
        RGBQUAD nearestColor{};              // one-entry cache of GetNearestIndex
        std::uint8_t nearestIndex = 0;
        bool nearestValid = false;
        std::int32_t layerCount = 0;
    };

    // Text of the memory ceiling: no image whose storage arithmetic would leave 32 bits is made.
    static constexpr const char* kMaxMemoryError = "PIXIMAGE_MAX_MEMORY exceeded";

    explicit PixImage(std::uint32_t type = 0);
    PixImage(std::int32_t width, std::int32_t height, std::uint32_t bpp, std::uint32_t type = 0);
    PixImage(const PixImage& src, bool copyPixels, bool copySelection, bool copyAlpha);
    // Loads a file (see Load); never throws: check IsValid and GetLastError.
    PixImage(const char* filename, std::uint32_t type);
    virtual ~PixImage();

    PixImage(const PixImage&) = delete;
    PixImage& operator=(const PixImage&) = delete;

    // ---- Life and storage ------------------------------------------------------------------
    // Empty image of that type with default options. Forgets (does not free) any contents: for
    // constructors only.
    void Startup(std::uint32_t type);
    bool Destroy();
    // Replaces the contents with a width x height image of 1, 4, 8 or 24 bits (bpp is rounded up
    // into that set). Returns the pixel block owned by this image, or null with the error text set.
    std::uint8_t* Create(std::int32_t width, std::int32_t height, std::uint32_t bpp, std::uint32_t type);
    // Pointer into this image's pixel rows, or null when there is no such row.
    [[nodiscard]] std::uint8_t* GetBits(std::uint32_t row = 0) const;
    [[nodiscard]] std::uint32_t GetSize() const;
    [[nodiscard]] bool IsInside(std::int32_t x, std::int32_t y) const;
    void Clear(std::uint8_t level = 0);
    void CopyInfo(const PixImage& src);
    void Copy(const PixImage& src, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    // Moves everything out of `from`, which is left empty. Always true.
    bool Transfer(PixImage& from);
    // Fills this 24-bit image from 16- or 32-bit pixels; src may lie in this image's own rows.
    void Bitfield2RGB(const std::uint8_t* src, std::uint32_t redMask, std::uint32_t greenMask,
                      std::uint32_t blueMask, std::uint8_t bpp);

    // ---- Transforms (false without pixels or when memory fails) ------------------------------
    bool Flip();
    bool Mirror();
    // Quarter turns; the result goes into dst when given, else into this image.
    bool RotateLeft(PixImage* dst = nullptr);
    bool RotateRight(PixImage* dst = nullptr);
    bool Negative();
    bool ShiftRGB(std::int32_t red, std::int32_t green, std::int32_t blue);

    // ---- Alpha channel (width x height bytes, bottom-up, 255 opaque) ------------------------
    void AlphaSetMax(std::uint8_t level) { info.alphaMax = level; }
    [[nodiscard]] bool AlphaIsValid() const { return alpha != nullptr; }
    // Makes a fully opaque channel unless one exists; on memory failure the image stays without.
    bool AlphaCreate();
    void AlphaDelete();
    void AlphaSet(std::int32_t x, std::int32_t y, std::uint8_t level);
    [[nodiscard]] std::uint8_t AlphaGet(std::int32_t x, std::int32_t y) const;
    [[nodiscard]] std::uint8_t* AlphaGetPointer(std::int32_t x = 0, std::int32_t y = 0) const;
    // No checks: the caller guarantees an alpha channel and (x, y) inside.
    [[nodiscard]] std::uint8_t BlindAlphaGet(std::int32_t x, std::int32_t y) const {
        return alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(head.biWidth) + x];
    }
    bool AlphaFlip();
    bool AlphaMirror();

    // ---- Selection ---------------------------------------------------------------------------
    void SelectionDelete();
    [[nodiscard]] bool SelectionIsInside(std::int32_t x, std::int32_t y) const;

    // ---- Palette -----------------------------------------------------------------------------
    [[nodiscard]] std::uint32_t GetPaletteSize() const { return head.biClrUsed * 4; }
    [[nodiscard]] RGBQUAD* GetPalette() const;
    [[nodiscard]] RGBQUAD GetPaletteColor(std::uint8_t index) const;
    void SetPaletteColor(std::uint8_t index, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                         std::uint8_t alphaByte = 0);
    void SetPaletteColor(std::uint8_t index, RGBQUAD colour);
    // Missing greens mean the reds, missing blues the greens.
    void SetPalette(std::uint32_t count, const std::uint8_t* reds, const std::uint8_t* greens = nullptr,
                    const std::uint8_t* blues = nullptr);
    void SetPalette(const std::uint8_t* rgbTriples, std::uint32_t count);
    void SetPalette(const RGBQUAD* entries, std::uint32_t count);
    void SetGrayPalette();
    [[nodiscard]] bool IsGrayScale() const;
    [[nodiscard]] std::uint8_t GetNearestIndex(RGBQUAD colour);

    // ---- Pixels (y counts from the bottom row) -----------------------------------------------
    [[nodiscard]] std::uint8_t GetPixelIndex(std::int32_t x, std::int32_t y) const;
    [[nodiscard]] std::uint8_t BlindGetPixelIndex(std::int32_t x, std::int32_t y) const;
    void SetPixelIndex(std::int32_t x, std::int32_t y, std::uint8_t index);
    [[nodiscard]] RGBQUAD GetPixelColor(std::int32_t x, std::int32_t y, bool withAlpha = true) const;
    [[nodiscard]] RGBQUAD BlindGetPixelColor(std::int32_t x, std::int32_t y) const;
    void SetPixelColor(std::int32_t x, std::int32_t y, COLORREF colour);
    void SetPixelColor(std::int32_t x, std::int32_t y, RGBQUAD colour, bool withAlpha = false);
    [[nodiscard]] std::uint8_t* BlindGetPixelPointer(std::int32_t x, std::int32_t y) const;
    [[nodiscard]] static RGBQUAD RGBtoRGBQUAD(COLORREF colour);
    void RGBtoBGR(std::uint8_t* buffer, std::int32_t length) const;

    // ---- Attributes --------------------------------------------------------------------------
    [[nodiscard]] bool IsValid() const { return block != nullptr; }
    [[nodiscard]] bool IsIndexed() const { return head.biClrUsed != 0; }
    [[nodiscard]] std::int32_t GetWidth() const { return head.biWidth; }
    [[nodiscard]] std::int32_t GetHeight() const { return head.biHeight; }
    [[nodiscard]] std::uint32_t GetBpp() const { return head.biBitCount; }
    [[nodiscard]] std::uint32_t GetEffWidth() const { return info.stride; }
    [[nodiscard]] std::uint32_t GetType() const { return info.type; }
    [[nodiscard]] const char* GetLastError() const { return info.lastError; }
    [[nodiscard]] std::int32_t GetTransIndex() const { return info.transIndex; }
    // -1 switches transparency off.
    void SetTransIndex(std::int32_t index) { info.transIndex = index; }
    [[nodiscard]] RGBQUAD GetTransColor() const;
    // Stored with its reserved byte cleared.
    void SetTransColor(RGBQUAD colour);
    [[nodiscard]] std::uint8_t GetJpegScale() const { return info.jpegScale; }
    // type 0 means the image's own type; 10 or more reads 0 and refuses the write.
    [[nodiscard]] std::uint32_t GetCodecOption(std::uint32_t type = 0) const;
    bool SetCodecOption(std::uint32_t option, std::uint32_t type = 0);
    void SetXDPI(std::int32_t dpi);
    void SetYDPI(std::int32_t dpi);

    // ---- Loading ------------------------------------------------------------------------------
    // Type 1..9 tries that format first, then detection; type 0 (or 10 and above) detects only.
    // A file that cannot be opened gives false and leaves the error text as it was.
    bool Load(const char* filename, std::uint32_t type = 0);
    // Decodes from the handle's current position; the handle stays the caller's.
    bool Decode(std::FILE* handle, std::uint32_t type);
    // Decodes from the stream's current position; with type 0 every known format is tried in
    // turn, the stream being sought back between attempts.
    bool Decode(PixFile* stream, std::uint32_t type);

    // ---- Drawing onto device contexts ---------------------------------------------------------
    // A bitmap of this image, compatible with dc, or a DIB section when dc is null; the caller
    // owns the handle. Null without pixels or when the bitmap cannot be made.
    [[nodiscard]] HBITMAP MakeBitmap(HDC dc) const;
    // Paints at (x, y); cx or cy below 0 mean the image's size. Transparent or alpha images are
    // blended with what dc already shows. The clip rectangle, when given, limits the painting
    // and dc's clip region is restored afterwards. False only when there was nothing to do.
    bool Draw(HDC dc, std::int32_t x = 0, std::int32_t y = 0, std::int32_t cx = -1,
              std::int32_t cy = -1, const RECT* clip = nullptr, bool smooth = false) const;
    // Paints with the transparent colour keyed out by raster operations.
    bool Draw2(HDC dc, std::int32_t x = 0, std::int32_t y = 0, std::int32_t cx = -1,
               std::int32_t cy = -1) const;

protected:
    // Copies at most 255 characters of text into the last-error field.
    void SetError(const char* text);
    // Bitfield2RGB limited to the first srcBytes of source data; the pixel rows past what that
    // data fills must already hold zeros. Returns how many leading bytes of the rows it wrote.
    std::uint64_t Bitfield2RGBPrefix(const std::uint8_t* src, std::uint32_t redMask, std::uint32_t greenMask,
                                     std::uint32_t blueMask, std::uint8_t bpp, std::uint64_t srcBytes);
    [[nodiscard]] std::size_t PixelCount() const {
        return static_cast<std::size_t>(head.biWidth) * static_cast<std::size_t>(head.biHeight);
    }
    static Info ZeroInfo();
    // The pixel block starts with a copy of the header: refresh it after the header changes.
    void SyncHeader();
    // One pass of the quarter turn, shared by both directions.
    bool Rotate(bool left, PixImage* dst);

    std::uint8_t* block = nullptr;      // header copy + palette + rows; null when empty
    BITMAPINFOHEADER head{};
    Info info{};
    std::uint8_t* selection = nullptr;  // width x height bytes, null = everything selected
    std::uint8_t* alpha = nullptr;      // width x height bytes, null = opaque
    PixImage** layers = nullptr;        // info.layerCount owned images
};
