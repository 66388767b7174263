#pragma once
// The player's state and the helpers its record families share, for the MetafilePlayer*.cpp
// sources only. Every read of record data goes through Bytes, which keeps it inside the record.
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/drawing/GdiInternal.h"
#include "platform/metafile/MetafilePlayer.h"

namespace metafile {

constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;
constexpr int PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4;
constexpr UINT BS_HATCHED = 2, BS_PATTERN = 3, BS_DIBPATTERN = 5, BS_DIBPATTERNPT = 6;
constexpr int ALTERNATE = 1;

// Bounded little-endian reads inside one record: out-of-range reads give 0.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    [[nodiscard]] bool Has(std::size_t offset, std::size_t n) const { return offset <= size_ && n <= size_ - offset; }
    [[nodiscard]] std::uint16_t U16(std::size_t o) const { return Has(o, 2) ? std::uint16_t(data_[o] | data_[o + 1] << 8) : 0; }
    [[nodiscard]] std::int16_t S16(std::size_t o) const { return std::int16_t(U16(o)); }
    [[nodiscard]] std::uint32_t U32(std::size_t o) const {
        return Has(o, 4) ? std::uint32_t(data_[o]) | std::uint32_t(data_[o + 1]) << 8 | std::uint32_t(data_[o + 2]) << 16 |
                               std::uint32_t(data_[o + 3]) << 24
                         : 0;
    }
    [[nodiscard]] std::int32_t S32(std::size_t o) const { return std::int32_t(U32(o)); }
    [[nodiscard]] float F32(std::size_t o) const {
        const std::uint32_t v = U32(o);
        float f;
        std::memcpy(&f, &v, sizeof f);
        return std::isfinite(f) ? f : 0.0f;
    }
    [[nodiscard]] const std::uint8_t* At(std::size_t o) const { return data_ + o; }
    [[nodiscard]] std::size_t Size() const { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

struct Pen {
    int style = PS_SOLID;
    double width = 0;
    COLORREF color = 0;
    Qt::PenCapStyle cap = Qt::RoundCap;
    Qt::PenJoinStyle join = Qt::RoundJoin;
};

struct Brush {
    UINT style = BS_SOLID;
    COLORREF color = 0xFFFFFF;
    int hatch = 0;
    QImage pattern{};
};

struct Font {
    LOGFONT lf;
    QString face;
};

struct Object {
    enum Kind { None, PenKind, BrushKind, FontKind, Other } kind = None;
    Pen pen;
    Brush brush;
    Font font;
};

struct State {
    int mapMode = MM_TEXT;
    QPointF winOrg{0, 0};
    QPointF vpOrg{0, 0};
    QSizeF winExt{1, 1};
    QSizeF vpExt{1, 1};
    QTransform world;
    Pen pen;
    Brush brush;
    Font font;
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    int fillMode = ALTERNATE;
    UINT textAlign = 0;
    QPointF current;
    std::optional<QRegion> clip;  // device pixels; none: everything
    bool clockwise = false;
};

// A mapping whose products overflowed cannot place anything.
inline bool Usable(const QTransform& t) {
    const double m[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy(), t.m13(), t.m23(), t.m33()};
    for (double v : m)
        if (!std::isfinite(v) || std::fabs(v) > 1e12) return false;
    return true;
}

// Device rectangles and offsets as whole pixels, kept far inside the int range.
inline QRect ToDeviceRect(const QRectF& r) {
    constexpr double kLimit = 1e7;
    const QRectF bounded = r.intersected(QRectF(-kLimit, -kLimit, 2 * kLimit, 2 * kLimit));
    return bounded.isValid() ? bounded.toAlignedRect() : QRect();
}
inline QPoint ToDevicePoint(const QPointF& p) {
    constexpr double kLimit = 1e7;
    return QPoint(int(std::clamp(std::isfinite(p.x()) ? p.x() : 0.0, -kLimit, kLimit)),
                  int(std::clamp(std::isfinite(p.y()) ? p.y() : 0.0, -kLimit, kLimit)));
}

inline QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

// A packed DIB (header, colour table, rows) as a colour image; empty when the data does not hold
// a DIB this player can read.
QImage DibToImage(const Bytes& r, std::size_t bmiOffset, std::size_t bmiSize, std::size_t bitsOffset,
                  std::size_t bitsSize);

// The byte fields of a logical font record (italic, underline, strike-out, character set, and
// quality two bytes on), which WMF and EMF keep alike after their differently sized numbers.
void ReadFontFlags(const Bytes& r, std::size_t at, LOGFONT& lf);

// Points stored as 16-bit or 32-bit pairs from offset on; count checked against the record.
QPolygonF ReadPoints(const Bytes& r, std::size_t offset, std::uint64_t count, bool small);

}  // namespace metafile

struct MetafilePlayer::Impl {
    gdi::DC* dc = nullptr;
    QRect dest;
    QTransform base;  // reference device to the destination
    metafile::State s;
    std::vector<metafile::State> saved;
    std::size_t savedDropped = 0;
    std::vector<metafile::Object> objects;
    bool fixedViewport = false;  // a converted Windows metafile keeps the destination as viewport
    QPainterPath path;
    bool inPath = false;
    QPainter* p = nullptr;
    QRegion baseClip;

    // Mapping, clipping, saved states and objects (MetafilePlayer.cpp).
    [[nodiscard]] QTransform Page() const;
    [[nodiscard]] QTransform Full() const;
    void ApplyClip();
    // Clip changes in logical coordinates.
    void ClipRect(double l, double t, double r, double b, bool exclude);
    void Save();
    // level < 0: that many levels back; level > 0: the state saved as number `level` (from 1).
    void Restore(std::int64_t level);
    void Select(std::uint32_t index);
    void Delete(std::uint32_t index);
    void Store(std::uint32_t index, metafile::Object o);
    // Windows metafiles put a new object into the lowest free slot.
    void StoreFirstFree(metafile::Object o);

    // Drawing (MetafilePlayerDraw.cpp).
    [[nodiscard]] QPen MakePen() const;
    [[nodiscard]] QBrush MakeBrush() const;
    void Prepare(bool fill, bool device = false);
    // A figure in logical coordinates (device coordinates when `device`): into the open path, or
    // drawn.
    void Shape(QPainterPath shape, bool fill, bool device = false);
    // A box's device rectangle: the right and bottom edges are exclusive in device pixels, as
    // the device context draws them. Empty when the mapping turns or shears the box.
    [[nodiscard]] std::optional<QRectF> DeviceBox(double l, double t, double r, double b) const;
    void Rectangle(double l, double t, double r, double b);
    void Ellipse(double l, double t, double r, double b);
    void RoundRect(double l, double t, double r, double b, double w, double h);
    // kind 0 arc, 1 chord, 2 pie.
    void Arc(int kind, double l, double t, double r, double b, double xs, double ys, double xe, double ye);
    void Poly(const QPolygonF& points, bool closed);
    void PolyBezier(const QPolygonF& points, bool fromCurrent);
    void LineTo(QPointF to);
    void MoveTo(QPointF to);
    void Text(QPointF at, const QString& text, UINT options, std::optional<QRectF> rect, const std::vector<double>& dx);
    void Image(const QImage& image, QRectF destRect, QRectF srcRect, DWORD rop);
    void PatBlt(QRectF rect, DWORD rop);
    void FillPath(bool fill, bool stroke);

    // Record loops (MetafilePlayer.cpp) and the records of each format (MetafilePlayerEmf.cpp,
    // MetafilePlayerWmf.cpp).
    bool PlayEmfRecords(const std::uint8_t* data, std::size_t size);
    bool PlayWmfRecords(const std::uint8_t* data, std::size_t size);
    void EmfRecord(std::uint32_t type, const metafile::Bytes& r);
    void WmfRecord(std::uint16_t function, const metafile::Bytes& r);
    void Run(const std::function<void()>& play);
};
