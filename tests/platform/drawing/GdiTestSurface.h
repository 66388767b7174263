#pragma once
// A memory device context over a black colour bitmap, for the drawing tests.
#include <algorithm>

#include "platform/drawing/Gdi.h"

namespace gditest {

struct Surface {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap;
    HGDIOBJ previous;
    int w, h;
    Surface(int width, int height) : bitmap(CreateCompatibleBitmap(nullptr, width, height)), w(width), h(height)
    {
        previous = SelectObject(dc, bitmap);
    }
    ~Surface()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Bounding box of the pixels that are not black; empty when there are none.
    [[nodiscard]] RECT Ink() const
    {
        RECT r{w, h, 0, 0};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (GetPixel(dc, x, y) != 0) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        return r;
    }
};

}  // namespace gditest
