// Metafile playback onto memory device contexts: mapping, objects, shapes, clipping, world
// transforms, paths, bitmaps, text, and records that do not fit their data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "platform/drawing/Gdi.h"
#include "platform/metafile/Metafile.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// An enhanced metafile of w x h reference pixels (bounds only, so it plays 1:1 onto w x h).
struct Emf {
    Bytes records;
    int w, h;
    std::uint32_t handles = 8;

    Emf(int width, int height) : w(width), h(height) {}
    Emf& Rec(std::uint32_t type, std::initializer_list<std::uint32_t> params) {
        Put32(records, type);
        Put32(records, std::uint32_t(8 + 4 * params.size()));
        for (std::uint32_t v : params) Put32(records, v);
        return *this;
    }
    Emf& Raw(std::uint32_t type, const Bytes& body) {
        Put32(records, type);
        Put32(records, std::uint32_t(8 + body.size()));
        records.insert(records.end(), body.begin(), body.end());
        return *this;
    }
    [[nodiscard]] Bytes Build() const {
        Bytes b;
        Put32(b, 1);
        Put32(b, 108);
        for (std::uint32_t v : {0u, 0u, std::uint32_t(w - 1), std::uint32_t(h - 1)}) Put32(b, v);  // bounds
        for (std::uint32_t v : {0u, 0u, 0u, 0u}) Put32(b, v);                                    // frame
        Put32(b, ENHMETA_SIGNATURE);
        Put32(b, 0x10000);
        Put32(b, 0);  // bytes, patched below
        Put32(b, 0);
        Put16(b, handles);
        Put16(b, 0);
        while (b.size() < 108) b.push_back(0);
        b.insert(b.end(), records.begin(), records.end());
        Put32(b, 14);
        Put32(b, 20);
        Put32(b, 0);
        Put32(b, 0);
        Put32(b, 20);
        const std::uint32_t n = std::uint32_t(b.size());
        std::memcpy(b.data() + 48, &n, 4);
        return b;
    }
};

constexpr std::uint32_t EMR_SETWINDOWEXTEX = 9, EMR_SETVIEWPORTEXTEX = 11, EMR_SETMAPMODE = 17,
                        EMR_INTERSECTCLIPRECT = 30, EMR_SAVEDC = 33, EMR_RESTOREDC = 34, EMR_SETWORLDTRANSFORM = 35,
                        EMR_SELECTOBJECT = 37, EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40,
                        EMR_RECTANGLE = 43, EMR_ELLIPSE = 42, EMR_BEGINPATH = 59, EMR_ENDPATH = 60, EMR_FILLPATH = 62,
                        EMR_POLYGON16 = 86, EMR_STRETCHDIBITS = 81, EMR_EXTTEXTOUTW = 84, EMR_SETBKMODE = 18,
                        EMR_SETTEXTCOLOR = 24;
constexpr std::uint32_t kStock = 0x80000000u;

std::uint32_t F(float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

// A device context with a white w x h bitmap.
struct Surface {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap;
    HGDIOBJ previous;
    int w, h;
    Surface(int width, int height) : bitmap(CreateCompatibleBitmap(nullptr, width, height)), w(width), h(height) {
        previous = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, w, h, WHITENESS);
    }
    ~Surface() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    bool Play(const Bytes& file) {
        HENHMETAFILE mf = SetEnhMetaFileBits(UINT(file.size()), file.data());
        if (!mf) return false;
        const RECT r{0, 0, w, h};
        const BOOL ok = PlayEnhMetaFile(dc, mf, &r);
        DeleteEnhMetaFile(mf);
        return ok != 0;
    }
    [[nodiscard]] COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
};

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// Red brush in slot 1, selected, with the null pen.
Emf RedBrush(int w, int h) {
    Emf e(w, h);
    e.Rec(EMR_CREATEBRUSHINDIRECT, {1, BS_SOLID, kRed, 0}).Rec(EMR_SELECTOBJECT, {1}).Rec(EMR_SELECTOBJECT,
                                                                                            {kStock | NULL_PEN});
    return e;
}

TEST(MetafilePlayer, RectangleIsFilledWithSelectedBrush) {
    Emf e = RedBrush(20, 20);
    e.Rec(EMR_RECTANGLE, {2, 2, 10, 10});
    Surface s(20, 20);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(5, 5), kRed);
    EXPECT_EQ(s.At(15, 15), kWhite);
    EXPECT_EQ(s.At(1, 5), kWhite);
}

TEST(MetafilePlayer, AnisotropicMappingScalesWindowToViewport) {
    Emf e = RedBrush(20, 20);
    e.Rec(EMR_SETMAPMODE, {MM_ANISOTROPIC}).Rec(EMR_SETWINDOWEXTEX, {2, 2}).Rec(EMR_SETVIEWPORTEXTEX, {20, 20});
    e.Rec(EMR_RECTANGLE, {1, 1, 2, 2});  // logical (1,1)-(2,2) is device (10,10)-(20,20)
    Surface s(20, 20);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(15, 15), kRed);
    EXPECT_EQ(s.At(5, 5), kWhite);
}

TEST(MetafilePlayer, PictureIsStretchedOntoTheDestination) {
    Emf e = RedBrush(10, 10);
    e.Rec(EMR_RECTANGLE, {0, 0, 6, 11});
    Surface s(40, 20);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(20, 10), kRed);  // x 0..6 of 10 becomes 0..24 of 40
    EXPECT_EQ(s.At(30, 10), kWhite);
}

TEST(MetafilePlayer, WorldTransformMovesDrawing) {
    Emf e = RedBrush(20, 20);
    e.Rec(EMR_SETWORLDTRANSFORM, {F(1), F(0), F(0), F(1), F(10), F(0)});
    e.Rec(EMR_RECTANGLE, {0, 0, 5, 5});
    Surface s(20, 20);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(12, 2), kRed);
    EXPECT_EQ(s.At(2, 2), kWhite);
}

TEST(MetafilePlayer, OverflowingMappingDrawsNothingQuietly) {
    Emf e = RedBrush(20, 20);
    e.Rec(38, {2, PS_SOLID, 5, 0, 0}).Rec(EMR_SELECTOBJECT, {2});  // a wide pen
    e.Rec(EMR_SETWORLDTRANSFORM, {F(1e30f), F(0), F(0), F(1e30f), F(0), F(0)});
    e.Rec(EMR_RECTANGLE, {0, 0, 0x7FFFFFFF, 0x7FFFFFFF}).Rec(EMR_INTERSECTCLIPRECT, {0, 0, 5, 5});
    e.Rec(EMR_BEGINPATH, {}).Rec(EMR_POLYGON16, {0, 0, 20, 20, 3, 0, 19, 19u << 16}).Rec(EMR_ENDPATH, {});
    e.Rec(EMR_FILLPATH, {0, 0, 20, 20});
    Surface s(20, 20);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(s.At(10, 10), kWhite);
}

TEST(MetafilePlayer, IntersectClipRectLimitsDrawingUntilRestore) {
    Emf e = RedBrush(20, 20);
    e.Rec(EMR_SAVEDC, {}).Rec(EMR_INTERSECTCLIPRECT, {0, 0, 10, 20}).Rec(EMR_RECTANGLE, {0, 0, 21, 10});
    e.Rec(EMR_RESTOREDC, {std::uint32_t(-1)}).Rec(EMR_RECTANGLE, {0, 12, 21, 21});
    Surface s(20, 20);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(5, 5), kRed);
    EXPECT_EQ(s.At(15, 5), kWhite);  // clipped away
    EXPECT_EQ(s.At(15, 15), kRed);   // clip gone after the restore
}

TEST(MetafilePlayer, RestoreBringsBackTheSavedBrush) {
    Emf e = RedBrush(20, 20);
    e.Rec(EMR_SAVEDC, {}).Rec(EMR_SELECTOBJECT, {kStock | NULL_BRUSH}).Rec(EMR_RESTOREDC, {std::uint32_t(-1)});
    e.Rec(EMR_ELLIPSE, {0, 0, 21, 21});
    Surface s(20, 20);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(10, 10), kRed);
    EXPECT_EQ(s.At(0, 0), kWhite);  // outside the ellipse
}

TEST(MetafilePlayer, FilledPathFillsItsPolygon) {
    Emf e = RedBrush(20, 20);
    e.Rec(EMR_BEGINPATH, {});
    e.Rec(EMR_POLYGON16, {0, 0, 20, 20, 3, 0 | (0u << 16), 19 | (0u << 16), 0 | (19u << 16)});
    e.Rec(EMR_ENDPATH, {}).Rec(EMR_FILLPATH, {0, 0, 20, 20});
    Surface s(20, 20);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(3, 3), kRed);
    EXPECT_EQ(s.At(17, 17), kWhite);
}

struct ArcCase {
    const char* name;
    std::uint32_t type;  // 46 chord, 47 pie
    bool clockwise;
    COLORREF nearCorner;  // (33, 7): inside both pie and chord of the upper-right quarter
    COLORREF nearCentre;  // (25, 15): inside the pie only
    COLORREF lowerLeft;   // (10, 30)
};

class MetafileArcTest : public ::testing::TestWithParam<ArcCase> {};

// From the rightmost point (40, 20) to the top (20, 0) of a circle of 40 pixels.
TEST_P(MetafileArcTest, FillsTheRightPart) {
    Emf e = RedBrush(40, 40);
    if (GetParam().clockwise) e.Rec(57, {2});  // SETARCDIRECTION clockwise
    e.Rec(GetParam().type, {0, 0, 41, 41, 40, 20, 20, 0});
    Surface s(40, 40);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(33, 7), GetParam().nearCorner);
    EXPECT_EQ(s.At(25, 15), GetParam().nearCentre);
    EXPECT_EQ(s.At(10, 30), GetParam().lowerLeft);
}

INSTANTIATE_TEST_SUITE_P(Shapes, MetafileArcTest,
                         ::testing::Values(ArcCase{"Pie", 47, false, kRed, kRed, kWhite},
                                           ArcCase{"Chord", 46, false, kRed, kWhite, kWhite},
                                           ArcCase{"ClockwisePie", 47, true, kWhite, kWhite, kRed}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MetafilePlayer, ClipPathThatEnclosesNothingClipsEverything) {
    Emf e = RedBrush(20, 20);
    e.Rec(EMR_BEGINPATH, {}).Rec(27, {2, 2}).Rec(54, {18, 18}).Rec(EMR_ENDPATH, {});
    e.Rec(67, {RGN_COPY});  // SELECTCLIPPATH
    e.Rec(EMR_RECTANGLE, {0, 0, 21, 21});
    Surface s(20, 20);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(10, 10), kWhite);
}

// Clip paths millions of pixels across: only the part near the picture counts, and that part clips
// as the whole outline would under either fill rule (the centre of a five-pointed star has winding
// number 2: inside by winding, outside by alternation).
constexpr std::uint32_t kAlternate = 1, kWinding = 2;  // polygon fill modes

struct HugeClipCase {
    const char* name;
    bool star;
    std::uint32_t fillMode;
    COLORREF centre;  // (10, 10)
    COLORREF side;    // (2, 10)
};

class HugeClipPathTest : public ::testing::TestWithParam<HugeClipCase> {};

TEST_P(HugeClipPathTest, ClipsTheDestinationAsTheWholeOutlineWould) {
    std::vector<std::uint32_t> polygon{0, 0, 20, 20};
    if (GetParam().star) {
        polygon.push_back(5);
        for (int k = 0; k < 5; ++k) {
            const double a = k * 4 * 3.14159265358979 / 5;
            polygon.push_back(std::uint32_t(std::int32_t(10 + 5e6 * std::sin(a))));
            polygon.push_back(std::uint32_t(std::int32_t(10 - 5e6 * std::cos(a))));
        }
    } else {  // a wedge from far above to far below, 10 pixels wide at the picture
        polygon.insert(polygon.end(), {3, 10, std::uint32_t(-3000000), 0, 3000000, 20, 3000000});
    }
    Emf e = RedBrush(20, 20);
    e.Rec(19, {GetParam().fillMode});  // SETPOLYFILLMODE
    e.Rec(EMR_BEGINPATH, {}).Raw(3, [&] {  // POLYGON, 32-bit points
        Bytes b;
        for (std::uint32_t v : polygon) Put32(b, v);
        return b;
    }());
    e.Rec(EMR_ENDPATH, {}).Rec(67, {RGN_COPY}).Rec(EMR_RECTANGLE, {0, 0, 21, 21});
    Surface s(20, 20);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(10, 10), GetParam().centre);
    EXPECT_EQ(s.At(2, 10), GetParam().side);
}

INSTANTIATE_TEST_SUITE_P(Outlines, HugeClipPathTest,
                         ::testing::Values(HugeClipCase{"Wedge", false, kAlternate, kRed, kWhite},
                                           HugeClipCase{"StarAlternate", true, kAlternate, kWhite, kWhite},
                                           HugeClipCase{"StarWinding", true, kWinding, kRed, kRed}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MetafilePlayer, DeletedOrUnknownObjectsChangeNothing) {
    Emf e = RedBrush(20, 20);
    e.Rec(EMR_DELETEOBJECT, {1}).Rec(EMR_SELECTOBJECT, {1}).Rec(EMR_SELECTOBJECT, {70000});
    e.Rec(EMR_CREATEBRUSHINDIRECT, {9999, BS_SOLID, 0, 0});  // past the handle table
    e.Rec(0x7777, {1, 2, 3});                                 // no such record
    e.Rec(EMR_RECTANGLE, {0, 0, 21, 21});
    Surface s(20, 20);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(10, 10), kRed);  // the brush selected before stays
}

TEST(MetafilePlayer, StretchDibitsDrawsTheBitmap) {
    // A 2 x 1 24-bit DIB (blue, green) stretched over the whole 20 x 10 picture.
    Bytes body;
    for (std::uint32_t v : {0u, 0u, 19u, 9u}) Put32(body, v);            // bounds
    for (std::uint32_t v : {0u, 0u, 0u, 0u, 2u, 1u}) Put32(body, v);     // dest x, y; src x, y, cx, cy
    Put32(body, 80);                                                     // offBmi
    Put32(body, 40);
    Put32(body, 120);                                                    // offBits
    Put32(body, 8);
    Put32(body, DIB_RGB_COLORS);
    Put32(body, SRCCOPY);
    Put32(body, 20);
    Put32(body, 10);
    Put32(body, 40);  // BITMAPINFOHEADER
    Put32(body, 2);
    Put32(body, 1);
    Put16(body, 1);
    Put16(body, 24);
    for (int i = 0; i < 6; ++i) Put32(body, 0);
    for (std::uint8_t b : {255, 0, 0, 0, 255, 0, 0, 0}) body.push_back(b);
    Emf e(20, 10);
    e.Raw(EMR_STRETCHDIBITS, body);
    Surface s(20, 10);
    ASSERT_TRUE(s.Play(e.Build()));
    EXPECT_EQ(s.At(3, 5), RGB(0, 0, 255));
    EXPECT_EQ(s.At(16, 5), RGB(0, 255, 0));
}

TEST(MetafilePlayer, TextIsDrawnInTextColour) {
    Bytes body;
    for (std::uint32_t v : {0u, 0u, 60u, 30u}) Put32(body, v);  // bounds
    Put32(body, 1);                                             // graphics mode
    Put32(body, F(1));
    Put32(body, F(1));
    Put32(body, 2);  // reference point
    Put32(body, 2);
    Put32(body, 3);   // characters
    Put32(body, 76);  // offString
    Put32(body, 0);   // options
    for (int i = 0; i < 4; ++i) Put32(body, 0);
    Put32(body, 0);  // no spacing array
    for (char c : {'W', 'W', 'W', '\0'}) Put16(body, std::uint8_t(c));
    Emf e(60, 30);
    e.Rec(EMR_SETTEXTCOLOR, {kRed}).Rec(EMR_SETBKMODE, {TRANSPARENT}).Raw(EMR_EXTTEXTOUTW, body);
    Surface s(60, 30);
    ASSERT_TRUE(s.Play(e.Build()));
    int red = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) red += GetRValue(s.At(x, y)) > 200 && GetGValue(s.At(x, y)) < 100;
    EXPECT_GT(red, 5);
}

TEST(MetafilePlayer, MalformedDataIsRefused) {
    Bytes good = RedBrush(10, 10).Build();
    HENHMETAFILE ok = SetEnhMetaFileBits(UINT(good.size()), good.data());
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(DeleteEnhMetaFile(ok));
    EXPECT_FALSE(DeleteEnhMetaFile(ok));

    Bytes noSignature = good;
    noSignature[40] = 'X';
    EXPECT_EQ(SetEnhMetaFileBits(UINT(noSignature.size()), noSignature.data()), nullptr);
    Bytes longRecord = good;
    longRecord[108 + 4] = 0xF0;  // the first record claims more than there is
    longRecord[108 + 5] = 0xFF;
    EXPECT_EQ(SetEnhMetaFileBits(UINT(longRecord.size()), longRecord.data()), nullptr);
    EXPECT_EQ(SetEnhMetaFileBits(50, good.data()), nullptr);
    EXPECT_EQ(GetEnhMetaFileHeader(nullptr, 108, nullptr), 0u);
}

// ---- Windows metafiles --------------------------------------------------------------------------

struct Wmf {
    Bytes records;
    std::uint16_t objects = 4;
    Wmf& Rec(std::uint16_t function, std::initializer_list<std::uint16_t> words) {
        Put32(records, std::uint32_t(3 + words.size()));
        Put16(records, function);
        for (std::uint16_t v : words) Put16(records, v);
        return *this;
    }
    [[nodiscard]] Bytes Build() const {
        Bytes b;
        Put16(b, 1);
        Put16(b, 9);
        Put16(b, 0x300);
        Put32(b, std::uint32_t((18 + records.size() + 6) / 2));
        Put16(b, objects);
        Put32(b, 0);
        Put16(b, 0);
        b.insert(b.end(), records.begin(), records.end());
        Put32(b, 3);
        Put16(b, 0);
        return b;
    }
};

bool PlayWmf(Surface& s, const Bytes& file, int xExt, int yExt) {
    METAFILEPICT pict;
    pict.mm = MM_ANISOTROPIC;
    pict.xExt = xExt;
    pict.yExt = yExt;
    HENHMETAFILE mf = SetWinMetaFileBits(UINT(file.size()), file.data(), nullptr, &pict);
    if (!mf) return false;
    const RECT r{0, 0, s.w, s.h};
    const BOOL ok = PlayEnhMetaFile(s.dc, mf, &r);
    DeleteEnhMetaFile(mf);
    return ok != 0;
}

TEST(MetafilePlayer, WindowsMetafileWindowFillsTheDestination) {
    Wmf m;
    m.Rec(0x020B, {0, 0}).Rec(0x020C, {100, 200});               // window org (0,0), ext 200 x 100
    m.Rec(0x02FC, {BS_SOLID, 0x00FF, 0x0000, 0});                  // red brush, slot 0
    m.Rec(0x012D, {0});
    m.Rec(0x041B, {50, 100, 0, 0});                                // rectangle (0,0)-(100,50)
    Surface s(40, 20);
    ASSERT_TRUE(PlayWmf(s, m.Build(), 2000, 1000));
    EXPECT_EQ(s.At(10, 5), kRed);    // the window's upper-left quarter
    EXPECT_EQ(s.At(30, 15), kWhite);
}

TEST(MetafilePlayer, WindowsMetafileLinesAndPolygons) {
    Wmf m;
    m.Rec(0x020B, {0, 0}).Rec(0x020C, {20, 20});
    m.Rec(0x02FA, {PS_SOLID, 1, 0, 0x00FF, 0});                   // red pen, slot 0
    m.Rec(0x012D, {0});
    m.Rec(0x0214, {2, 0}).Rec(0x0213, {2, 19});                     // horizontal line at y 2
    m.Rec(0x02FC, {BS_SOLID, 0xFF00, 0x0000, 0});                   // green brush, slot 1
    m.Rec(0x012D, {1});
    m.Rec(0x0324, {4, 5, 10, 15, 10, 15, 18, 5, 18});               // square (5..15, 10..18)
    Surface s(20, 20);
    ASSERT_TRUE(PlayWmf(s, m.Build(), 2000, 2000));
    EXPECT_EQ(s.At(10, 2), kRed);
    EXPECT_EQ(s.At(10, 14), RGB(0, 255, 0));
    EXPECT_EQ(s.At(10, 6), kWhite);
}

TEST(MetafilePlayer, TextUnderAFarStretchedMappingIsDrawn) {
    // Window 1 x 255 onto 96 x 48 pixels: glyphs 96 times wider than tall.
    Wmf m;
    m.Rec(0x020B, {0, 0}).Rec(0x020C, {255, 1});
    m.Rec(0x0209, {0x00FF, 0});                          // red text
    m.Rec(0x0521, {2, 'H' | ('i' << 8), 0, 0});          // "Hi" at (0, 0)
    Surface s(96, 48);
    EXPECT_TRUE(PlayWmf(s, m.Build(), 9600, 4800));
    EXPECT_EQ(s.At(95, 47), kWhite);
}

TEST(MetafilePlayer, WindowsMetafileRecordPastTheEndStopsPlayback) {
    Wmf m;
    m.Rec(0x020C, {20, 20});
    Bytes file = m.Build();
    file.insert(file.end() - 6, {0xFF, 0xFF, 0, 0, 0x1B, 0x04});  // a rectangle claiming 65535 words
    Surface s(20, 20);
    EXPECT_FALSE(PlayWmf(s, file, 2000, 2000));
    EXPECT_EQ(s.At(10, 10), kWhite);
}

TEST(MetafilePlayer, WindowsMetafileHeaderIsChecked) {
    Bytes file = Wmf{}.Build();
    file[0] = 3;
    METAFILEPICT pict;
    EXPECT_EQ(SetWinMetaFileBits(UINT(file.size()), file.data(), nullptr, &pict), nullptr);
}

}  // namespace
