// Handle table, device contexts, object selection, bitmaps, brushes, pens, regions and clipping.
#include <QPainter>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/GdiInternal.h"

namespace gdi {
namespace {

// Pixel memory one bitmap may take; keeps every size computation far from overflow and refuses
// what no skin or page of this program comes near.
constexpr std::int64_t kMaxBitmapBytes = std::int64_t(1) << 30;

std::mutex& TableLock()
{
    static std::mutex lock;
    return lock;
}

// The handle table. A handle is a slot's index with the slot's generation count, which grows each
// time the slot is freed: a freed handle never names a later object, the way a reused address
// would. A slot whose count is spent is never used again. Every function here needs TableLock.
static_assert(sizeof(std::uintptr_t) == 8, "handles carry a 32-bit index and a 32-bit generation");
struct Slot {
    ObjectState* object = nullptr;
    DC* dc = nullptr;
    std::uint32_t generation = 1;
};
// Keeps every handle clear of the small integers that calls return in a handle's place.
constexpr std::uint64_t kIndexBias = 0x10000;

std::vector<Slot>& Slots()
{
    static std::vector<Slot> table;
    return table;
}
std::vector<std::uint32_t>& FreeSlots()
{
    static std::vector<std::uint32_t> unused;
    return unused;
}

Slot* FindSlot(const void* handle)
{
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    const std::uint64_t low = value & 0xFFFFFFFFu;
    if (low < kIndexBias || low - kIndexBias >= Slots().size())
        return nullptr;
    Slot& slot = Slots()[low - kIndexBias];
    return slot.generation == (value >> 32) ? &slot : nullptr;
}

std::uintptr_t NewHandle(ObjectState* object, DC* dc)
{
    std::uint32_t index;
    if (!FreeSlots().empty()) {
        index = FreeSlots().back();
        FreeSlots().pop_back();
    } else {
        index = std::uint32_t(Slots().size());
        Slots().emplace_back();
    }
    Slot& slot = Slots()[index];
    slot.object = object;
    slot.dc = dc;
    return (std::uint64_t(slot.generation) << 32) | (index + kIndexBias);
}

void FreeHandle(const void* handle)
{
    Slot* slot = FindSlot(handle);
    if (!slot)
        return;
    slot->object = nullptr;
    slot->dc = nullptr;
    if (++slot->generation != UINT32_MAX)
        FreeSlots().push_back(std::uint32_t(slot - Slots().data()));
}

ObjectState* LiveObject(const void* handle)
{
    if (!handle)
        return nullptr;
    std::lock_guard<std::mutex> guard(TableLock());
    const Slot* slot = FindSlot(handle);
    return slot ? slot->object : nullptr;
}

template <class T>
T* Track(std::unique_ptr<T> object)
{
    T* raw = object.release();
    std::lock_guard<std::mutex> guard(TableLock());
    raw->handle = reinterpret_cast<HGDIOBJ>(NewHandle(raw, nullptr));
    return raw;
}

ObjectState* StateOf(HGDIOBJ object)
{
    if (auto* b = ToBitmap(object))
        return b;
    if (auto* b = ToBrush(object))
        return b;
    if (auto* p = ToPen(object))
        return p;
    if (auto* f = ToFont(object))
        return f;
    if (auto* r = ToRegion(object))
        return r;
    return nullptr;
}

template <class T>
T* MakeStock(std::unique_ptr<T> object)
{
    object->stock = true;
    return Track(std::move(object));
}

Brush* StockBrush(int which)
{
    static std::array<Brush*, 6> brushes = [] {
        std::array<Brush*, 6> b{};
        const COLORREF colors[5] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
        for (int i = 0; i < 5; ++i) {
            auto brush = std::make_unique<Brush>();
            brush->color = colors[i];
            b[i] = MakeStock(std::move(brush));
        }
        auto hollow = std::make_unique<Brush>();
        hollow->style = BS_NULL;
        b[5] = MakeStock(std::move(hollow));
        return b;
    }();
    return brushes[which];
}

Pen* StockPen(int which)
{
    static std::array<Pen*, 3> pens = [] {
        std::array<Pen*, 3> p{};
        auto white = std::make_unique<Pen>();
        white->color = 0xFFFFFF;
        p[0] = MakeStock(std::move(white));
        p[1] = MakeStock(std::make_unique<Pen>());
        auto none = std::make_unique<Pen>();
        none->style = PS_NULL;
        p[2] = MakeStock(std::move(none));
        return p;
    }();
    return pens[which - WHITE_PEN];
}

Font* StockFont()
{
    static Font* font = [] {
        auto f = std::make_unique<Font>();
        f->logFont.lfHeight = 16;
        f->logFont.lfWeight = FW_BOLD;
        std::strcpy(f->logFont.lfFaceName, "System");
        return MakeStock(std::move(f));
    }();
    return font;
}

Font* StockGuiFont()
{
    static Font* font = [] {
        auto f = std::make_unique<Font>();
        f->logFont.lfHeight = -11;
        f->logFont.lfWeight = FW_NORMAL;
        std::strcpy(f->logFont.lfFaceName, "MS Shell Dlg");
        return MakeStock(std::move(f));
    }();
    return font;
}

// The 1 x 1 monochrome bitmap every new memory context starts with.
Bitmap* StockBitmap()
{
    static Bitmap* bitmap = [] {
        auto b = NewMonoBitmap(1, 1);
        b->stock = true;
        return Track(std::move(b));
    }();
    return bitmap;
}

int RegionKind(const QRegion& region)
{
    if (region.isEmpty())
        return NULLREGION;
    return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// Corners in any order; coordinates are cut to +-2^29 so that region arithmetic stays inside int.
QRect FromRect(int left, int top, int right, int bottom)
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    constexpr int limit = 1 << 29;
    left = std::clamp(left, -limit, limit);
    right = std::clamp(right, -limit, limit);
    top = std::clamp(top, -limit, limit);
    bottom = std::clamp(bottom, -limit, limit);
    return QRect(left, top, right - left, bottom - top);
}

void Select(ObjectState* state) { ++state->selectCount; }
void Deselect(ObjectState* state)
{
    if (state)
        --state->selectCount;
}

}  // namespace

DC* ToDC(HDC hdc)
{
    if (!hdc)
        return nullptr;
    std::lock_guard<std::mutex> guard(TableLock());
    const Slot* slot = FindSlot(hdc);
    return slot ? slot->dc : nullptr;
}
Bitmap* ToBitmap(HGDIOBJ object) { return dynamic_cast<Bitmap*>(LiveObject(object)); }
Brush* ToBrush(HGDIOBJ object) { return dynamic_cast<Brush*>(LiveObject(object)); }
Pen* ToPen(HGDIOBJ object) { return dynamic_cast<Pen*>(LiveObject(object)); }
Font* ToFont(HGDIOBJ object) { return dynamic_cast<Font*>(LiveObject(object)); }
Region* ToRegion(HGDIOBJ object) { return dynamic_cast<Region*>(LiveObject(object)); }

HBITMAP Register(std::unique_ptr<Bitmap> bitmap)
{
    if (!bitmap)
        return nullptr;
    return HandleOf<HBITMAP>(Track(std::move(bitmap)));
}

std::unique_ptr<Bitmap> NewColorBitmap(int width, int height)
{
    if (width <= 0 || height <= 0 || std::int64_t(width) * height * 4 > kMaxBitmapBytes)
        return nullptr;
    auto b = std::make_unique<Bitmap>();
    b->storage = Storage::Color;
    b->width = width;
    b->height = height;
    b->bpp = 32;
    b->image = QImage(width, height, QImage::Format_RGB32);
    if (b->image.isNull())
        return nullptr;
    b->image.fill(0xFF000000u);
    b->image.setDotsPerMeterX(3780);
    b->image.setDotsPerMeterY(3780);
    return b;
}

std::unique_ptr<Bitmap> NewMonoBitmap(int width, int height)
{
    auto b = NewColorBitmap(width, height);
    if (b) {
        b->storage = Storage::Mono;
        b->bpp = 1;
    }
    return b;
}

std::unique_ptr<Bitmap> NewDibBitmap(int width, int height, bool topDown, int bpp,
                                     const std::vector<std::uint32_t>& palette)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return nullptr;
    const std::int64_t stride = ((std::int64_t(width) * bpp + 31) / 32) * 4;
    if (stride > kMaxBitmapBytes)
        return nullptr;
    const std::int64_t size = stride * height;  // both below 2^31: no overflow
    if (size > kMaxBitmapBytes)
        return nullptr;
    auto b = std::make_unique<Bitmap>();
    b->storage = Storage::Dib;
    b->width = width;
    b->height = height;
    b->bpp = bpp;
    b->topDown = topDown;
    b->stride = stride;
    b->ownedBits.reset(new (std::nothrow) std::uint8_t[size_t(size)]());
    if (!b->ownedBits)
        return nullptr;
    b->bits = b->ownedBits.get();
    if (bpp <= 8) {
        b->palette.assign(size_t(1) << bpp, 0);
        std::copy_n(palette.begin(), std::min(palette.size(), b->palette.size()), b->palette.begin());
    }
    return b;
}

QRegion Drawable(const DC& dc)
{
    if (!dc.bitmap)
        return {};
    const QRegion whole(0, 0, dc.bitmap->width, dc.bitmap->height);
    return dc.clip ? dc.clip->intersected(whole) : whole;
}

}  // namespace gdi

using namespace gdi;

HDC CreateCompatibleDC(HDC hdc)
{
    if (hdc && !ToDC(hdc))
        return nullptr;
    auto dc = std::make_unique<DC>();
    dc->bitmap = StockBitmap();
    dc->brush = StockBrush(WHITE_BRUSH);
    dc->pen = StockPen(BLACK_PEN);
    dc->font = StockFont();
    Select(dc->bitmap);
    Select(dc->brush);
    Select(dc->pen);
    Select(dc->font);
    DC* raw = dc.release();
    std::lock_guard<std::mutex> guard(TableLock());
    raw->handle = reinterpret_cast<HDC>(NewHandle(nullptr, raw));
    return raw->handle;
}

BOOL DeleteDC(HDC hdc)
{
    DC* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        FreeHandle(hdc);
    }
    Deselect(dc->bitmap);
    Deselect(dc->brush);
    Deselect(dc->pen);
    Deselect(dc->font);
    delete dc;
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object)
{
    DC* dc = ToDC(hdc);
    if (!dc)
        return nullptr;
    auto swap = [](auto*& slot, auto* next) -> HGDIOBJ {
        auto* old = slot;
        Deselect(old);
        Select(next);
        slot = next;
        return HandleOf<HGDIOBJ>(old);
    };
    if (Bitmap* b = ToBitmap(object))
        return swap(dc->bitmap, b);
    if (Brush* b = ToBrush(object))
        return swap(dc->brush, b);
    if (Pen* p = ToPen(object))
        return swap(dc->pen, p);
    if (Font* f = ToFont(object))
        return swap(dc->font, f);
    if (Region* r = ToRegion(object)) {
        const int kind = SelectClipRgn(hdc, HandleOf<HRGN>(r));
        return reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(kind));
    }
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ object)
{
    ObjectState* state = StateOf(object);
    if (!state || state->stock || state->selectCount > 0)
        return FALSE;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        FreeHandle(object);
    }
    delete state;
    return TRUE;
}

HGDIOBJ GetStockObject(int which)
{
    if (which >= WHITE_BRUSH && which <= NULL_BRUSH)
        return HandleOf<HGDIOBJ>(StockBrush(which));
    if (which >= WHITE_PEN && which <= NULL_PEN)
        return HandleOf<HGDIOBJ>(StockPen(which));
    if (which == SYSTEM_FONT)
        return HandleOf<HGDIOBJ>(StockFont());
    if (which == DEFAULT_GUI_FONT)
        return HandleOf<HGDIOBJ>(StockGuiFont());
    return nullptr;
}

int GetObject(HGDIOBJ object, int size, void* buffer)
{
    if (Bitmap* b = ToBitmap(object)) {
        if (!buffer)
            return int(sizeof(BITMAP));
        if (size < int(sizeof(BITMAP)))
            return 0;
        BITMAP bm;
        bm.bmWidth = b->width;
        bm.bmHeight = b->height;
        bm.bmBitsPixel = WORD(b->bpp);
        if (b->storage == Storage::Dib) {
            bm.bmWidthBytes = LONG(b->stride);
            bm.bmBits = b->bits;
            b->bitsShared = true;
            ++b->generation;  // the holder may write the rows before it says so
        } else {
            bm.bmWidthBytes = LONG(((std::int64_t(b->width) * b->bpp + 15) / 16) * 2);
        }
        std::memcpy(buffer, &bm, sizeof bm);
        return int(sizeof bm);
    }
    if (Font* f = ToFont(object)) {
        if (!buffer)
            return int(sizeof(LOGFONT));
        if (size < int(sizeof(LOGFONT)))
            return 0;
        std::memcpy(buffer, &f->logFont, sizeof(LOGFONT));
        return int(sizeof(LOGFONT));
    }
    return 0;
}

BOOL GdiFlush()
{
    // Rows written through a section's own pointer are news to every window showing it.
    std::lock_guard<std::mutex> guard(TableLock());
    for (const Slot& slot : Slots()) {
        auto* b = dynamic_cast<Bitmap*>(slot.object);
        if (b && b->storage == Storage::Dib && b->bitsShared)
            ++b->generation;
    }
    return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height)
{
    DC* dc = nullptr;
    if (hdc && !(dc = ToDC(hdc)))
        return nullptr;
    const bool mono = dc && dc->bitmap && dc->bitmap->storage == Storage::Mono;
    return Register(mono ? NewMonoBitmap(width, height) : NewColorBitmap(width, height));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    const bool mono = planes == 1 && bitsPerPixel == 1;
    auto b = mono ? NewMonoBitmap(width, height) : NewColorBitmap(width, height);
    if (!b)
        return nullptr;
    if (bits) {
        const auto* src = static_cast<const std::uint8_t*>(bits);
        if (mono) {
            // Rows of 1-bit pixels, padded to 16 bits; a set bit is white.
            const std::int64_t stride = ((std::int64_t(width) + 15) / 16) * 2;
            for (int y = 0; y < height; ++y) {
                auto* line = reinterpret_cast<std::uint32_t*>(b->image.scanLine(y));
                const std::uint8_t* row = src + stride * y;
                for (int x = 0; x < width; ++x)
                    line[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 0xFFFFFFFFu : 0xFF000000u;
            }
        } else {
            for (int y = 0; y < height; ++y) {
                auto* line = reinterpret_cast<std::uint32_t*>(b->image.scanLine(y));
                const std::uint8_t* row = src + std::int64_t(width) * 4 * y;
                for (int x = 0; x < width; ++x) {
                    std::uint32_t v;
                    std::memcpy(&v, row + 4 * x, 4);
                    line[x] = 0xFF000000u | (v & 0xFFFFFF);
                }
            }
        }
    }
    return Register(std::move(b));
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, void* section, DWORD offset)
{
    if (bits)
        *bits = nullptr;
    if ((hdc && !ToDC(hdc)) || !info || usage != DIB_RGB_COLORS || section || offset)
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == INT32_MIN)
        return nullptr;
    std::vector<std::uint32_t> palette;
    if (h.biBitCount <= 8 && h.biBitCount > 0) {
        const DWORD full = DWORD(1) << h.biBitCount;
        const DWORD count = (h.biClrUsed == 0 || h.biClrUsed > full) ? full : h.biClrUsed;
        const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const std::uint8_t*>(info) + h.biSize);
        for (DWORD i = 0; i < count; ++i)
            palette.push_back((std::uint32_t(table[i].rgbRed) << 16) | (std::uint32_t(table[i].rgbGreen) << 8) |
                              table[i].rgbBlue);
    }
    auto b = NewDibBitmap(h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight, h.biHeight < 0, h.biBitCount, palette);
    if (!b)
        return nullptr;
    void* rows = b->bits;
    b->bitsShared = bits != nullptr;
    HBITMAP handle = Register(std::move(b));
    if (bits)
        *bits = rows;
    return handle;
}

HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO* info,
                       UINT usage)
{
    if (!header || header->biWidth <= 0 || header->biHeight == 0 || header->biHeight == INT32_MIN)
        return nullptr;
    const int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    HBITMAP handle = CreateCompatibleBitmap(hdc, header->biWidth, height);
    if (!handle)
        return nullptr;
    if ((init & CBM_INIT) && bits && info) {
        const UINT lines = UINT(info->bmiHeader.biHeight < 0 ? -std::int64_t(info->bmiHeader.biHeight)
                                                             : info->bmiHeader.biHeight);
        if (SetDIBits(hdc, handle, 0, lines, bits, info, usage) == 0) {
            DeleteObject(handle);
            return nullptr;
        }
    }
    return handle;
}

COLORREF SetBkColor(HDC hdc, COLORREF color)
{
    DC* dc = ToDC(hdc);
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->bkColor, color & 0xFFFFFF);
}
COLORREF GetBkColor(HDC hdc)
{
    DC* dc = ToDC(hdc);
    return dc ? dc->bkColor : CLR_INVALID;
}
COLORREF SetTextColor(HDC hdc, COLORREF color)
{
    DC* dc = ToDC(hdc);
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->textColor, color & 0xFFFFFF);
}
COLORREF GetTextColor(HDC hdc)
{
    DC* dc = ToDC(hdc);
    return dc ? dc->textColor : CLR_INVALID;
}
int SetBkMode(HDC hdc, int mode)
{
    DC* dc = ToDC(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    return std::exchange(dc->bkMode, mode);
}
int GetBkMode(HDC hdc)
{
    DC* dc = ToDC(hdc);
    return dc ? dc->bkMode : 0;
}
int SetStretchBltMode(HDC hdc, int mode)
{
    DC* dc = ToDC(hdc);
    if (!dc || mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    return std::exchange(dc->stretchMode, mode);
}
int GetStretchBltMode(HDC hdc)
{
    DC* dc = ToDC(hdc);
    return dc ? dc->stretchMode : 0;
}
int SetMapMode(HDC hdc, int mode)
{
    DC* dc = ToDC(hdc);
    return (dc && mode == MM_TEXT) ? MM_TEXT : 0;
}
int GetMapMode(HDC hdc) { return ToDC(hdc) ? MM_TEXT : 0; }

// Regions -------------------------------------------------------------------------------------

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto r = std::make_unique<Region>();
    r->region = QRegion(FromRect(left, top, right, bottom));
    return HandleOf<HRGN>(Track(std::move(r)));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode)
{
    Region* d = ToRegion(dest);
    Region* ra = ToRegion(a);
    Region* rb = mode == RGN_COPY ? ra : ToRegion(b);
    if (!d || !ra || !rb)
        return RGN_ERROR;
    QRegion result;
    switch (mode) {
    case RGN_AND: result = ra->region.intersected(rb->region); break;
    case RGN_OR: result = ra->region.united(rb->region); break;
    case RGN_XOR: result = ra->region.xored(rb->region); break;
    case RGN_DIFF: result = ra->region.subtracted(rb->region); break;
    case RGN_COPY: result = ra->region; break;
    default: return RGN_ERROR;
    }
    d->region = result;
    return RegionKind(result);
}

int GetRgnBox(HRGN region, RECT* box)
{
    Region* r = ToRegion(region);
    if (!r || !box)
        return RGN_ERROR;
    const QRect b = r->region.boundingRect();
    *box = r->region.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
    return RegionKind(r->region);
}

BOOL EqualRgn(HRGN a, HRGN b)
{
    Region* ra = ToRegion(a);
    Region* rb = ToRegion(b);
    return (ra && rb && ra->region == rb->region) ? TRUE : FALSE;
}

BOOL PtInRegion(HRGN region, int x, int y)
{
    Region* r = ToRegion(region);
    return (r && r->region.contains(QPoint(x, y))) ? TRUE : FALSE;
}

int OffsetRgn(HRGN region, int dx, int dy)
{
    Region* r = ToRegion(region);
    if (!r)
        return RGN_ERROR;
    r->region.translate(dx, dy);
    return RegionKind(r->region);
}

// Clipping ------------------------------------------------------------------------------------

int GetClipBox(HDC hdc, RECT* box)
{
    DC* dc = ToDC(hdc);
    if (!dc || !box)
        return RGN_ERROR;
    const QRegion drawable = Drawable(*dc);
    const QRect b = drawable.boundingRect();
    *box = drawable.isEmpty() ? RECT{} : RECT{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
    return RegionKind(drawable);
}

int ExtSelectClipRgn(HDC hdc, HRGN region, int mode)
{
    DC* dc = ToDC(hdc);
    if (!dc)
        return RGN_ERROR;
    if (!region) {
        if (mode != RGN_COPY)
            return RGN_ERROR;
        dc->clip.reset();
        return RegionKind(Drawable(*dc));
    }
    Region* r = ToRegion(region);
    if (!r)
        return RGN_ERROR;
    const QRegion current = dc->clip ? *dc->clip
                                     : QRegion(0, 0, dc->bitmap ? dc->bitmap->width : 0,
                                               dc->bitmap ? dc->bitmap->height : 0);
    switch (mode) {
    case RGN_AND: dc->clip = current.intersected(r->region); break;
    case RGN_OR: dc->clip = current.united(r->region); break;
    case RGN_XOR: dc->clip = current.xored(r->region); break;
    case RGN_DIFF: dc->clip = current.subtracted(r->region); break;
    case RGN_COPY: dc->clip = r->region; break;
    default: return RGN_ERROR;
    }
    return RegionKind(*dc->clip);
}

int SelectClipRgn(HDC hdc, HRGN region) { return ExtSelectClipRgn(hdc, region, RGN_COPY); }

int GetClipRgn(HDC hdc, HRGN region)
{
    DC* dc = ToDC(hdc);
    Region* r = ToRegion(region);
    if (!dc || !r)
        return -1;
    if (!dc->clip)
        return 0;
    r->region = *dc->clip;
    return 1;
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    DC* dc = ToDC(hdc);
    if (!dc)
        return RGN_ERROR;
    const QRegion rect(FromRect(left, top, right, bottom));
    const QRegion current = dc->clip ? *dc->clip
                                     : QRegion(0, 0, dc->bitmap ? dc->bitmap->width : 0,
                                               dc->bitmap ? dc->bitmap->height : 0);
    dc->clip = current.intersected(rect);
    return RegionKind(*dc->clip);
}

BOOL RectVisible(HDC hdc, const RECT* rect)
{
    DC* dc = ToDC(hdc);
    if (!dc || !rect)
        return FALSE;
    const QRect r = FromRect(rect->left, rect->top, rect->right, rect->bottom);
    return (!r.isEmpty() && Drawable(*dc).intersects(r)) ? TRUE : FALSE;
}

// Brushes and pens ----------------------------------------------------------------------------

HBRUSH CreateSolidBrush(COLORREF color)
{
    auto b = std::make_unique<Brush>();
    b->color = color & 0xFFFFFF;
    return HandleOf<HBRUSH>(Track(std::move(b)));
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    if (style != PS_SOLID && style != PS_NULL)
        style = PS_SOLID;  // dashes are not drawn by this layer; a solid line is the nearest
    auto p = std::make_unique<Pen>();
    p->style = style;
    p->width = std::max(1, width);
    p->color = color & 0xFFFFFF;
    return HandleOf<HPEN>(Track(std::move(p)));
}

// Fonts (the Qt side is in GdiText.cpp) ---------------------------------------------------------

HFONT CreateFontIndirect(const LOGFONT* font)
{
    if (!font)
        return nullptr;
    auto f = std::make_unique<Font>();
    f->logFont = *font;
    f->logFont.lfFaceName[LF_FACESIZE - 1] = '\0';
    return HandleOf<HFONT>(Track(std::move(f)));
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                 DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                 DWORD pitchAndFamily, const char* faceName)
{
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = BYTE(italic);
    lf.lfUnderline = BYTE(underline);
    lf.lfStrikeOut = BYTE(strikeOut);
    lf.lfCharSet = BYTE(charSet);
    lf.lfOutPrecision = BYTE(outPrecision);
    lf.lfClipPrecision = BYTE(clipPrecision);
    lf.lfQuality = BYTE(quality);
    lf.lfPitchAndFamily = BYTE(pitchAndFamily);
    if (faceName)
        std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

// Window layer access -----------------------------------------------------------------------------

std::optional<std::uint64_t> GdiWriteGeneration(HBITMAP bitmap)
{
    const Bitmap* b = ToBitmap(bitmap);
    if (!b)
        return std::nullopt;
    return b->generation;
}

QImage GdiSnapshot(HDC hdc)
{
    DC* dc = ToDC(hdc);
    if (!dc || !dc->bitmap)
        return {};
    const Bitmap& b = *dc->bitmap;
    if (b.storage != Storage::Dib)
        return b.image.copy();
    QImage image(b.width, b.height, QImage::Format_RGB32);
    for (int y = 0; y < b.height; ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        ReadColors(b, 0, y, b.width, line);
        for (int x = 0; x < b.width; ++x)
            line[x] |= 0xFF000000u;
    }
    return image;
}

QImage* GdiColorImage(HDC hdc)
{
    DC* dc = ToDC(hdc);
    if (!dc || !dc->bitmap || dc->bitmap->storage != Storage::Color)
        return nullptr;
    return &dc->bitmap->image;
}

HBITMAP GdiCreateBitmapFromImage(const QImage& image)
{
    auto b = NewColorBitmap(image.width(), image.height());
    if (!b)
        return nullptr;
    b->image = image.convertToFormat(QImage::Format_RGB32);
    return Register(std::move(b));
}
