#pragma once
// A colour scheme of on-screen keys: fill, edge and caption colours and the edge width for each
// key state. Colours are Windows colour values (red in the low byte). Plain data; copyable.
//
// A default-made scheme (the look of keys whose riff names no defined scheme) is a plain grey
// key with a black edge and caption, lighter under the mouse and darker when pressed.
#include "platform/drawing/TColor.h"

#include <array>
#include <cstdint>
#include <string>

class TDVContext;

struct TKBColSch {
    struct TStateColors {
        TColor fill = clSilver;
        TColor edge = clBlack;
        TColor caption = clBlack;
        std::int32_t edgeWidth = 1;
    };

    // initial, mouse, pressed
    std::array<TStateColors, 3> states{TStateColors{}, TStateColors{clWhite, clBlack, clBlack, 1},
                                       TStateColors{clGray, clBlack, clWhite, 1}};

    // The colours for a key state: "mouse", "initial", and anything else as pressed.
    [[nodiscard]] const TStateColors& ForState(const std::string& state) const;

    // Reads the sub-contexts "initial", "mouse" and "pressed" of a "color_schemes[#]" entry.
    // Throws the configuration's Exception for a missing key.
    [[nodiscard]] static TKBColSch FromContext(TDVContext* scheme);
    // red | green << 8 | blue << 16 of "<path>[1]" .. "<path>[3]", each masked to a byte.
    [[nodiscard]] static TColor ReadColor(TDVContext* context, const std::string& path);
};
