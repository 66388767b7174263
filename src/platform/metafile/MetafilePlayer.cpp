// The player core: the mapping from logical to device coordinates, clip rectangles, saved
// states, the object table, and the two formats' record loops behind the public calls.
#include "platform/metafile/MetafilePlayer.h"

#include "platform/metafile/MetafilePlayerInternal.h"

using namespace metafile;

namespace {

constexpr double kDpi = 96.0;
// Objects a metafile may create; the header's count is 16 bits in both formats.
constexpr std::size_t kMaxObjects = 65535;
// Nested SaveDC levels kept; deeper saves are counted but not stored.
constexpr std::size_t kMaxSaved = 1024;

Font DefaultFont() {
    Font f;
    f.lf.lfHeight = -12;
    f.lf.lfWeight = FW_NORMAL;
    std::strcpy(f.lf.lfFaceName, "Arial");
    f.face = QStringLiteral("Arial");
    return f;
}

}  // namespace

QTransform MetafilePlayer::Impl::Page() const {
    double sx = 1, sy = 1;
    switch (s.mapMode) {
    case MM_LOMETRIC: sx = kDpi / 254.0, sy = -sx; break;
    case MM_HIMETRIC: sx = kDpi / 2540.0, sy = -sx; break;
    case MM_LOENGLISH: sx = kDpi / 100.0, sy = -sx; break;
    case MM_HIENGLISH: sx = kDpi / 1000.0, sy = -sx; break;
    case MM_TWIPS: sx = kDpi / 1440.0, sy = -sx; break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC: {
        const double wx = s.winExt.width() ? s.winExt.width() : 1, wy = s.winExt.height() ? s.winExt.height() : 1;
        sx = s.vpExt.width() / wx;
        sy = s.vpExt.height() / wy;
        if (s.mapMode == MM_ISOTROPIC) {
            const double m = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        break;
    }
    default: break;
    }
    return QTransform(sx, 0, 0, sy, s.vpOrg.x() - s.winOrg.x() * sx, s.vpOrg.y() - s.winOrg.y() * sy);
}

QTransform MetafilePlayer::Impl::Full() const { return s.world * Page() * base; }

void MetafilePlayer::Impl::ApplyClip() {
    p->resetTransform();
    p->setClipRegion(s.clip ? baseClip.intersected(*s.clip) : baseClip);
}

void MetafilePlayer::Impl::ClipRect(double l, double t, double r, double b, bool exclude) {
    if (!Usable(Full())) return;
    const QRect device = ToDeviceRect(Full().mapRect(QRectF(QPointF(l, t), QPointF(r, b)).normalized()));
    const QRegion current = s.clip ? *s.clip : QRegion(dest.adjusted(-1, -1, 1, 1)).united(baseClip);
    s.clip = exclude ? current.subtracted(device) : current.intersected(device);
    ApplyClip();
}

void MetafilePlayer::Impl::Save() {
    if (saved.size() < kMaxSaved) {
        saved.push_back(s);
    } else {
        ++savedDropped;
    }
}

void MetafilePlayer::Impl::Restore(std::int64_t level) {
    std::size_t keep;
    if (level < 0) {
        const std::uint64_t back = std::uint64_t(-level);
        if (back > saved.size()) return;
        keep = saved.size() - std::size_t(back);
    } else {
        if (level == 0 || std::uint64_t(level) > saved.size()) return;
        keep = std::size_t(level) - 1;
    }
    s = saved[keep];
    saved.resize(keep);
    ApplyClip();
}

void MetafilePlayer::Impl::Select(std::uint32_t index) {
    if (index & 0x80000000u) {
        switch (index & 0x7FFFFFFFu) {
        case WHITE_BRUSH: s.brush = Brush{BS_SOLID, 0xFFFFFF}; break;
        case LTGRAY_BRUSH: s.brush = Brush{BS_SOLID, 0xC0C0C0}; break;
        case GRAY_BRUSH: s.brush = Brush{BS_SOLID, 0x808080}; break;
        case DKGRAY_BRUSH: s.brush = Brush{BS_SOLID, 0x404040}; break;
        case BLACK_BRUSH: s.brush = Brush{BS_SOLID, 0}; break;
        case NULL_BRUSH: s.brush = Brush{BS_NULL}; break;
        case WHITE_PEN: s.pen = Pen{PS_SOLID, 0, 0xFFFFFF}; break;
        case BLACK_PEN: s.pen = Pen{PS_SOLID, 0, 0}; break;
        case NULL_PEN: s.pen = Pen{PS_NULL}; break;
        default:
            if ((index & 0x7FFFFFFFu) >= 10 && (index & 0x7FFFFFFFu) <= 17) s.font = DefaultFont();
            break;
        }
        return;
    }
    if (index >= objects.size()) return;
    const Object& o = objects[index];
    if (o.kind == Object::PenKind) s.pen = o.pen;
    if (o.kind == Object::BrushKind) s.brush = o.brush;
    if (o.kind == Object::FontKind) s.font = o.font;
}

void MetafilePlayer::Impl::Delete(std::uint32_t index) {
    if (index < objects.size()) objects[index] = Object{};
}

void MetafilePlayer::Impl::Store(std::uint32_t index, Object o) {
    if (index < objects.size()) objects[index] = std::move(o);
}

void MetafilePlayer::Impl::StoreFirstFree(Object o) {
    for (Object& slot : objects)
        if (slot.kind == Object::None) {
            slot = std::move(o);
            return;
        }
}

void MetafilePlayer::Impl::Run(const std::function<void()>& play) {
    gdi::PaintOn(*dc, dest.adjusted(-1, -1, 1, 1), [&](QPainter& painter) {
        p = &painter;
        painter.setRenderHint(QPainter::Antialiasing, false);
        baseClip = painter.clipRegion();
        play();
        p = nullptr;
    });
}

bool MetafilePlayer::Impl::PlayEmfRecords(const std::uint8_t* data, std::size_t size) {
    const Bytes all(data, size);
    objects.assign(std::min<std::size_t>(all.U16(56) + 1u, kMaxObjects), Object{});
    std::size_t at = 0;
    while (at + 8 <= size) {
        const std::uint32_t type = all.U32(at);
        const std::uint32_t length = all.U32(at + 4);
        if (length < 8 || length % 4 || length > size - at) return false;
        if (type == 14) break;  // EOF
        EmfRecord(type, Bytes(data + at, length));
        at += length;
    }
    return true;
}

bool MetafilePlayer::Impl::PlayWmfRecords(const std::uint8_t* data, std::size_t size) {
    const Bytes all(data, size);
    const std::size_t headerBytes = std::size_t(all.U16(2)) * 2;
    if (headerBytes < 18 || headerBytes > size) return false;
    objects.assign(std::min<std::size_t>(all.U16(10), kMaxObjects), Object{});
    std::size_t at = headerBytes;
    while (at + 6 <= size) {
        const std::uint64_t words = all.U32(at);
        const std::uint16_t function = all.U16(at + 4);
        if (words < 3 || words > (size - at) / 2) return false;
        if (function == 0) break;  // EOF
        WmfRecord(function, Bytes(data + at + 6, std::size_t(words * 2 - 6)));
        at += std::size_t(words * 2);
    }
    return true;
}

MetafilePlayer::MetafilePlayer(HDC dc, const RECT& dest) : impl_(std::make_unique<Impl>()) {
    impl_->dc = gdi::ToDC(dc);
    impl_->dest = QRect(QPoint(dest.left, dest.top), QPoint(dest.right - 1, dest.bottom - 1)).normalized();
    impl_->s.font = DefaultFont();
}

MetafilePlayer::~MetafilePlayer() = default;

bool MetafilePlayer::PlayEmf(const std::uint8_t* data, std::size_t size) {
    if (!impl_->dc || !data || size < sizeof(ENHMETAHEADER)) return false;
    const Bytes header(data, size);
    // The picture frame (0.01 mm) in reference-device pixels; the bounds when the device sizes
    // are missing.
    QRectF source(QPointF(header.S32(8), header.S32(12)), QPointF(header.S32(16) + 1.0, header.S32(20) + 1.0));
    const double devW = header.S32(72), devH = header.S32(76), mmW = header.S32(80), mmH = header.S32(84);
    if (devW > 0 && devH > 0 && mmW > 0 && mmH > 0) {
        const QRectF frame(QPointF(header.S32(24), header.S32(28)), QPointF(header.S32(32), header.S32(36)));
        const QRectF mapped(frame.left() * devW / (mmW * 100), frame.top() * devH / (mmH * 100),
                            frame.width() * devW / (mmW * 100), frame.height() * devH / (mmH * 100));
        if (mapped.width() > 0 && mapped.height() > 0) source = mapped;
    }
    if (source.width() <= 0 || source.height() <= 0) return false;
    const QRectF to(impl_->dest);
    impl_->base = QTransform::fromTranslate(-source.left(), -source.top()) *
                  QTransform::fromScale(to.width() / source.width(), to.height() / source.height()) *
                  QTransform::fromTranslate(to.left(), to.top());
    bool ok = false;
    impl_->Run([&] { ok = impl_->PlayEmfRecords(data, size); });
    return ok;
}

bool MetafilePlayer::PlayWmf(const std::uint8_t* data, std::size_t size, const METAFILEPICT& picture) {
    if (!impl_->dc || !data || size < 18) return false;
    State& s = impl_->s;
    const QRect& to = impl_->dest;
    impl_->base = QTransform::fromTranslate(to.left(), to.top());
    if (picture.mm == MM_ANISOTROPIC || picture.mm == MM_ISOTROPIC) {
        // The metafile's window maps onto the whole destination; its first window records say
        // where that window is.
        s.mapMode = int(picture.mm);
        s.vpExt = QSizeF(to.width(), to.height());
        s.winExt = QSizeF(picture.xExt ? picture.xExt : 1, picture.yExt ? picture.yExt : 1);
        impl_->fixedViewport = true;
        const Bytes all(data, size);
        bool haveOrg = false, haveExt = false;
        for (std::size_t at = std::size_t(all.U16(2)) * 2; at + 6 <= size && !(haveOrg && haveExt);) {
            const std::uint64_t words = all.U32(at);
            if (words < 3 || words > (size - at) / 2) break;
            const std::uint16_t function = all.U16(at + 4);
            if (function == 0x020B && !haveOrg) {
                s.winOrg = QPointF(all.S16(at + 8), all.S16(at + 6));
                haveOrg = true;
            } else if (function == 0x020C && !haveExt) {
                s.winExt = QSizeF(all.S16(at + 8), all.S16(at + 6));
                haveExt = true;
            }
            at += std::size_t(words * 2);
        }
    }
    bool ok = false;
    impl_->Run([&] { ok = impl_->PlayWmfRecords(data, size); });
    return ok;
}
