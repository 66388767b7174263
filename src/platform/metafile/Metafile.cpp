#include "platform/metafile/Metafile.h"

#include "platform/metafile/MetafilePlayer.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

namespace {

constexpr int kDpi = 96;

// What a metafile handle holds: the records as they were handed over.
struct MetafileData final : HENHMETAFILE__ {
    ~MetafileData() override = default;
    std::vector<BYTE> bytes;
    bool windows = false;  // a Windows metafile, played with `picture`
    METAFILEPICT picture;
    ENHMETAHEADER header;
};

std::mutex& Lock() {
    static std::mutex m;
    return m;
}
std::set<const HENHMETAFILE__*>& Live() {
    static std::set<const HENHMETAFILE__*> live;
    return live;
}

MetafileData* ToMetafile(HENHMETAFILE handle) {
    std::lock_guard<std::mutex> guard(Lock());
    return Live().count(handle) ? static_cast<MetafileData*>(handle) : nullptr;
}

HENHMETAFILE Register(MetafileData* data) {
    std::lock_guard<std::mutex> guard(Lock());
    Live().insert(data);
    return data;
}

std::uint32_t Le32(const BYTE* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

}  // namespace

int GetMetafileDeviceCaps(HDC, int index) {
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY: return kDpi;
    case BITSPIXEL: return 32;
    default: return 0;
    }
}

HENHMETAFILE SetEnhMetaFileBits(UINT size, const BYTE* data) {
    if (!data || size < sizeof(ENHMETAHEADER)) return nullptr;
    ENHMETAHEADER header;
    std::memcpy(&header, data, sizeof header);
    if (header.iType != EMR_HEADER || header.dSignature != ENHMETA_SIGNATURE || header.nSize < 88 || header.nSize > size)
        return nullptr;
    // Every record must lie within the data, so playing never has to guess.
    for (std::size_t at = 0; at + 8 <= size;) {
        const std::uint32_t length = Le32(data + at + 4);
        if (length < 8 || length % 4 || length > size - at) return nullptr;
        if (Le32(data + at) == 14) break;
        at += length;
    }
    auto* m = new MetafileData;
    m->bytes.assign(data, data + size);
    m->header = header;
    return Register(m);
}

HENHMETAFILE SetWinMetaFileBits(UINT size, const BYTE* data, HDC, const METAFILEPICT* picture) {
    if (!data || !picture || size < 18) return nullptr;
    const std::uint16_t type = std::uint16_t(data[0] | data[1] << 8);
    const std::uint16_t headerWords = std::uint16_t(data[2] | data[3] << 8);
    if ((type != 1 && type != 2) || headerWords != 9) return nullptr;
    auto* m = new MetafileData;
    m->bytes.assign(data, data + size);
    m->windows = true;
    m->picture = *picture;
    // The header an enhanced metafile of this picture would have on a 96-dpi reference device.
    const std::int64_t cx = std::int64_t(picture->xExt) * kDpi / 2540;
    const std::int64_t cy = std::int64_t(picture->yExt) * kDpi / 2540;
    ENHMETAHEADER& h = m->header;
    h.iType = EMR_HEADER;
    h.nSize = sizeof(ENHMETAHEADER);
    h.rclBounds = RECT{0, 0, LONG(std::clamp<std::int64_t>(cx - 1, -1, 0x7FFFFFFF)),
                       LONG(std::clamp<std::int64_t>(cy - 1, -1, 0x7FFFFFFF))};
    h.rclFrame = RECT{0, 0, picture->xExt - 1, picture->yExt - 1};
    h.dSignature = ENHMETA_SIGNATURE;
    h.nVersion = 0x10000;
    h.nBytes = size;
    h.szlDevice = SIZE{1024, 768};
    h.szlMillimeters = SIZE{1024 * 254 / (kDpi * 10), 768 * 254 / (kDpi * 10)};
    return Register(m);
}

UINT GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT size, ENHMETAHEADER* header) {
    MetafileData* m = ToMetafile(metafile);
    if (!m) return 0;
    if (!header) return sizeof(ENHMETAHEADER);
    const UINT n = std::min<UINT>(size, sizeof(ENHMETAHEADER));
    std::memcpy(header, &m->header, n);
    return n;
}

BOOL PlayEnhMetaFile(HDC hdc, HENHMETAFILE metafile, const RECT* rect) {
    MetafileData* m = ToMetafile(metafile);
    if (!m || !rect || !hdc) return FALSE;
    MetafilePlayer player(hdc, *rect);
    const bool ok = m->windows ? player.PlayWmf(m->bytes.data(), m->bytes.size(), m->picture)
                               : player.PlayEmf(m->bytes.data(), m->bytes.size());
    return ok ? TRUE : FALSE;
}

BOOL DeleteEnhMetaFile(HENHMETAFILE metafile) {
    {
        std::lock_guard<std::mutex> guard(Lock());
        if (!Live().erase(metafile)) return FALSE;
    }
    delete static_cast<MetafileData*>(metafile);
    return TRUE;
}
