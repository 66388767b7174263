// Handle table, object lifetime, stock objects, and device contexts: selection and attributes.
#include <atomic>
#include <array>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/drawing/GdiInternal.h"

namespace gdi {
namespace {

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

}  // namespace

template <class T>
T* Track(std::unique_ptr<T> object)
{
    T* raw = object.release();
    std::lock_guard<std::mutex> guard(TableLock());
    raw->handle = reinterpret_cast<HGDIOBJ>(NewHandle(raw, nullptr));
    return raw;
}

// The kinds made outside this file (a bitmap registers through Register).
template Brush* Track(std::unique_ptr<Brush> object);
template Pen* Track(std::unique_ptr<Pen> object);
template Font* Track(std::unique_ptr<Font> object);
template Region* Track(std::unique_ptr<Region> object);

namespace {

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

namespace {
std::atomic<void (*)()> writeObserver{nullptr};

void TellObserver()
{
    if (auto* observer = writeObserver.load(std::memory_order_acquire))
        observer();
}
}  // namespace

HBITMAP Register(std::unique_ptr<Bitmap> bitmap)
{
    if (!bitmap)
        return nullptr;
    const auto handle = HandleOf<HBITMAP>(Track(std::move(bitmap)));
    // A new bitmap may come with its pixels (a picture loaded, a copy): as news as a write.
    TellObserver();
    return handle;
}

void NoteWritten(Bitmap& bitmap)
{
    ++bitmap.generation;
    TellObserver();
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
            NoteWritten(*b);  // the holder may write the rows before it says so
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

void GdiSetWriteObserver(void (*observer)())
{
    writeObserver.store(observer, std::memory_order_release);
}

BOOL GdiFlush()
{
    // Rows written through a section's own pointer are news to every window showing it.
    bool written = false;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        for (const Slot& slot : Slots()) {
            auto* b = dynamic_cast<Bitmap*>(slot.object);
            if (b && b->storage == Storage::Dib && b->bitsShared) {
                ++b->generation;
                written = true;
            }
        }
    }
    if (written)
        TellObserver();
    return TRUE;
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
