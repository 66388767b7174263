#pragma once
// What the control tests share: PNG files written in the test, pixel reading, pointer events sent
// to a control's widget, and waiting for posted messages.
#include <QApplication>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>

#include <png.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/ApplicationInstance.h"
#include "platform/ui/ControlsInternal.h"
#include "platform/drawing/TCanvas.h"
#include "platform/ui/TControl.h"
#include "platform/ui/WindowMessages.h"
#include "TestFolder.h"

namespace fixtures {

// 0xAARRGGBB
using PixelFn = std::function<std::uint32_t(int x, int y)>;

// Writes an 8-bit RGBA PNG whose pixels come from pixel(x, y), y counted from the top.
inline void WritePng(const std::string& path, int width, int height, const PixelFn& pixel)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(size_t(width) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixel(x, y);
            row[size_t(x) * 4 + 0] = png_byte(p >> 16);
            row[size_t(x) * 4 + 1] = png_byte(p >> 8);
            row[size_t(x) * 4 + 2] = png_byte(p);
            row[size_t(x) * 4 + 3] = png_byte(p >> 24);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

// COLORREF (0x00BBGGRR) of an opaque 0xAARRGGBB.
constexpr COLORREF Ref(std::uint32_t argb) { return RGB(BYTE(argb >> 16), BYTE(argb >> 8), BYTE(argb)); }

// A folder of its own per test, removed afterwards.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }

    std::string Path(const std::string& name) const { return dir_.File(name); }
    std::string Solid(const std::string& name, int width, int height, std::uint32_t argb) const
    {
        const std::string path = Path(name);
        WritePng(path, width, height, [argb](int, int) { return argb; });
        return path;
    }
    std::string Garbage(const std::string& name) const
    {
        const std::string path = Path(name);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fputs("this is no picture at all", f);
        std::fclose(f);
        return path;
    }

    TestFolder dir_{"controls-"};
};

inline COLORREF PixelAt(TControl& control, int x, int y) { return COLORREF(control.Canvas()->Pixels(x, y)); }

// Pointer events as the window system delivers them to the control's widget.
inline void Send(TControl& control, QEvent& event) { QCoreApplication::sendEvent(WidgetOf(&control), &event); }

inline void Press(TControl& control, int x, int y, Qt::MouseButton button = Qt::LeftButton,
                  Qt::MouseButtons held = Qt::NoButton)
{
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(x, y), QPointF(x, y), button, held | button, Qt::NoModifier);
    Send(control, e);
}

inline void DoublePress(TControl& control, int x, int y)
{
    QMouseEvent e(QEvent::MouseButtonDblClick, QPointF(x, y), QPointF(x, y), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
    Send(control, e);
}

inline void Release(TControl& control, int x, int y, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent e(QEvent::MouseButtonRelease, QPointF(x, y), QPointF(x, y), button, Qt::NoButton, Qt::NoModifier);
    Send(control, e);
}

inline void Move(TControl& control, int x, int y, Qt::MouseButtons held = Qt::NoButton)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(x, y), QPointF(x, y), Qt::NoButton, held, Qt::NoModifier);
    Send(control, e);
}

inline void Enter(TControl& control, int x, int y)
{
    QEnterEvent e(QPointF(x, y), QPointF(x, y), QPointF(x, y));
    Send(control, e);
}

inline void Leave(TControl& control)
{
    QEvent e(QEvent::Leave);
    Send(control, e);
}

// Runs the event loop until done() or the time is up; returns done(). The default is far beyond
// what a loaded machine takes for anything a test waits for.
inline bool WaitFor(const std::function<bool()>& done, int milliseconds = 30000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done() && std::chrono::steady_clock::now() < end) {
        ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

// Lets posted messages and timers of the next few milliseconds run.
inline void Settle(int milliseconds = 40)
{
    WaitFor([] { return false; }, milliseconds);
}

}  // namespace fixtures
