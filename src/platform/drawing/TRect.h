#pragma once
// The class library's rectangle: a RECT with constructors and its size (right and bottom exclusive).
#include "platform/drawing/Gdi.h"

struct TRect : RECT {
    constexpr TRect() = default;
    constexpr TRect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
    constexpr TRect(const RECT& r) : RECT(r) {}
    [[nodiscard]] constexpr LONG Width() const { return right - left; }
    [[nodiscard]] constexpr LONG Height() const { return bottom - top; }
    friend constexpr bool operator==(const TRect& a, const TRect& b)
    {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
};

constexpr TRect Rect(LONG left, LONG top, LONG right, LONG bottom) { return TRect(left, top, right, bottom); }
