#pragma once
// Enhanced metafiles and Windows metafiles, played onto the device contexts of Gdi.h by a player
// of this layer's own (MetafilePlayer). A handle holds an enhanced metafile, or a Windows metafile
// with the picture description it was converted with; both play through PlayEnhMetaFile.
//
// The records that carry drawings in practice are played: window and viewport set-up and the
// mapping modes, saving and restoring, pens, brushes and fonts with object selection and deletion,
// lines, polylines, polygons, Bezier curves, rectangles, rounded rectangles, ellipses, arcs, pies,
// chords, text, bitmap transfers, clipping, and for enhanced metafiles world transforms and paths.
// Any other record is skipped; a record whose sizes do not fit the data ends playback.
//
// Threads: GUI thread, as every call of Gdi.h. Ownership: a handle from Set*MetaFileBits belongs to
// the caller, who frees it with DeleteEnhMetaFile. Failure: calls return 0 / FALSE / null.
#include "platform/drawing/Gdi.h"

struct HENHMETAFILE__ {
protected:
    HENHMETAFILE__() = default;
    virtual ~HENHMETAFILE__() = default;
};
using HENHMETAFILE = HENHMETAFILE__*;

using RECTL = RECT;
using SIZEL = SIZE;

// The header record of an enhanced metafile (record type 1), as it lies in the file.
struct ENHMETAHEADER {
    DWORD iType = 0;
    DWORD nSize = 0;
    RECTL rclBounds;  // device units of the reference device, inclusive
    RECTL rclFrame;   // 0.01 mm, inclusive
    DWORD dSignature = 0;
    DWORD nVersion = 0;
    DWORD nBytes = 0;
    DWORD nRecords = 0;
    WORD nHandles = 0;
    WORD sReserved = 0;
    DWORD nDescription = 0;
    DWORD offDescription = 0;
    DWORD nPalEntries = 0;
    SIZEL szlDevice;       // reference device, pixels
    SIZEL szlMillimeters;  // reference device, millimetres
    DWORD cbPixelFormat = 0;
    DWORD offPixelFormat = 0;
    DWORD bOpenGL = 0;
    SIZEL szlMicrometers;
};
static_assert(sizeof(ENHMETAHEADER) == 108);

// How a Windows metafile's logical space maps onto a picture: mapping mode and extents in
// 0.01 mm (MM_ISOTROPIC, MM_ANISOTROPIC).
struct METAFILEPICT {
    LONG mm = 0;
    LONG xExt = 0;
    LONG yExt = 0;
    void* hMF = nullptr;  // not used
};

constexpr DWORD EMR_HEADER = 1;
constexpr DWORD ENHMETA_SIGNATURE = 0x464D4520;  // " EMF"

constexpr int MM_LOMETRIC = 2;
constexpr int MM_HIMETRIC = 3;
constexpr int MM_LOENGLISH = 4;
constexpr int MM_HIENGLISH = 5;
constexpr int MM_TWIPS = 6;
constexpr int MM_ISOTROPIC = 7;
constexpr int MM_ANISOTROPIC = 8;

// Device capabilities a metafile's conversion needs. Every context of this layer is 96 dpi and
// 32 bits per pixel (the screen too).
constexpr int BITSPIXEL = 12;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
[[nodiscard]] int GetMetafileDeviceCaps(HDC hdc, int index);

// An enhanced metafile from its bytes. Null unless the data starts with a header record that
// carries the " EMF" signature and the records that follow lie within the data.
[[nodiscard]] HENHMETAFILE SetEnhMetaFileBits(UINT size, const BYTE* data);
// A Windows metafile (from its 18-byte header on, no placeable header) with its picture
// description. Null for a header that is not a Windows metafile's. ref is not used.
[[nodiscard]] HENHMETAFILE SetWinMetaFileBits(UINT size, const BYTE* data, HDC ref, const METAFILEPICT* picture);
// Copies up to size bytes of the header; with header null returns the size needed. For a Windows
// metafile the header is made from its picture description at 96 dpi. 0 for an unknown handle.
UINT GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT size, ENHMETAHEADER* header);
// Plays the metafile so that its picture fills rect on hdc, within hdc's clip region.
BOOL PlayEnhMetaFile(HDC hdc, HENHMETAFILE metafile, const RECT* rect);
BOOL DeleteEnhMetaFile(HENHMETAFILE metafile);
