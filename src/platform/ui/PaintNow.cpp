#include "platform/ui/PaintNow.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#if RT_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

#if RT_HAVE_XCB
// Set on a window whose X background holds one of our pictures.
constexpr char kBackgroundSet[] = "rtPaintNowBackground";

xcb_connection_t* XConnection()
{
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

int BitsPerPixel(const xcb_setup_t* setup, std::uint8_t depth)
{
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it))
        if (it.data->depth == depth)
            return it.data->bits_per_pixel;
    return 0;
}

// The window's picture as its background, drawn by the server now where the window is mapped.
// False where the server's pixel layout is not one the toolkit's images share.
bool SetBackground(xcb_connection_t* c, QWidget* window)
{
    const auto id = xcb_window_t(window->winId());
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr);
    if (geometry == nullptr)
        return false;
    const std::uint8_t depth = geometry->depth;
    const int width = geometry->width;
    const int height = geometry->height;
    std::free(geometry);
    const xcb_setup_t* setup = xcb_get_setup(c);
    if ((depth != 24 && depth != 32) || BitsPerPixel(setup, depth) != 32 ||
        setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    const QImage image = window->grab().toImage().convertToFormat(depth == 32 ? QImage::Format_ARGB32_Premultiplied
                                                                               : QImage::Format_RGB32);
    if (image.width() != width || image.height() != height)
        return false;

    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, depth, pixmap, id, std::uint16_t(width), std::uint16_t(height));
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    // As many rows a request as the server takes (its limit counts 4-byte units, header included).
    const auto stride = std::uint32_t(image.bytesPerLine());
    const int rowsPerRequest = std::max(1, int((xcb_get_maximum_request_length(c) * 4 - 32) / stride));
    for (int y = 0; y < height; y += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, height - y);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, std::uint16_t(width), std::uint16_t(rows), 0,
                      std::int16_t(y), 0, depth, std::uint32_t(rows) * stride, image.constScanLine(y));
    }
    xcb_change_window_attributes(c, id, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(c, 0, id, 0, 0, 0, 0);
    // The window keeps the picture; the server frees it with the background.
    xcb_free_gc(c, gc);
    xcb_free_pixmap(c, pixmap);
    return true;
}
#endif

} // namespace

void PaintNow(QWidget* window)
{
    if (window == nullptr || !window->isVisible())
        return;
    window = window->window();
    const QWindow* handle = window->windowHandle();
#if RT_HAVE_XCB
    xcb_connection_t* c = XConnection();
#endif
    if (handle != nullptr && handle->isExposed()) {
        // A repaint of the window alone leaves out the opaque children that cover most of it (and
        // flushes nothing where they cover all of it): every visible part is marked first, so that
        // the one paint puts the whole window on the screen.
        for (QWidget* child : window->findChildren<QWidget*>()) {
            if (child->isVisible())
                child->update();
        }
        window->repaint();
#if RT_HAVE_XCB
        if (c != nullptr) {
            // The toolkit paints from now on: a later exposure must not flash an old picture.
            if (window->property(kBackgroundSet).toBool()) {
                const std::uint32_t none = XCB_BACK_PIXMAP_NONE;
                xcb_change_window_attributes(c, xcb_window_t(window->winId()), XCB_CW_BACK_PIXMAP, &none);
                window->setProperty(kBackgroundSet, false);
            }
            xcb_flush(c);
        }
#endif
        return;
    }
#if RT_HAVE_XCB
    if (c != nullptr && SetBackground(c, window)) {
        window->setProperty(kBackgroundSet, true);
        xcb_flush(c);
    }
#endif
}
