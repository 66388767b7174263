#pragma once
// The class library's colour: 0x00BBGGRR for a plain colour; the top byte set marks a system
// colour (0x80000000 | index) or one of the special values clNone and clDefault.
#include <cstdint>

using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor clSystemColor = TColor(0x80000000u);
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor clInfoBk = clSystemColor | 24;

// The RGB value (0x00BBGGRR) drawing uses: system colours take the classic Windows scheme's values;
// clNone and clDefault give black here, as their low 24 bits are never drawn as colours.
constexpr std::uint32_t ColorToRGB(TColor color)
{
    if (color < 0) {
        switch (color & 0xFF) {
        case 0: return 0xC8C8C8;
        case 1: return 0x000000;
        case 5: return 0xFFFFFF;
        case 8: return 0x000000;
        case 15: return 0xC0C0C0;
        case 16: return 0x808080;
        case 17: return 0x808080;
        case 18: return 0x000000;
        case 20: return 0xFFFFFF;
        case 24: return 0xE1FFFF;
        default: return 0x000000;
        }
    }
    if (color == clNone || color == clDefault)
        return 0x000000;
    return std::uint32_t(color) & 0xFFFFFF;
}
