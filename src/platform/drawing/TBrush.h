#pragma once
// The class library's brush: a colour and a style (solid or clear). GUI thread only.
// The brush owns its handle; changing an attribute makes a new handle at the next Handle().
#include <cstdint>
#include <functional>

#include "platform/drawing/Gdi.h"
#include "platform/drawing/TColor.h"

enum TBrushStyle { bsSolid, bsClear };

class TBrush {
public:
    TBrush() = default;
    ~TBrush();
    TBrush(const TBrush&) = delete;
    TBrush& operator=(const TBrush&) = delete;

    [[nodiscard]] TColor Color() const { return color_; }
    void SetColor(TColor color);  // also makes the style solid, as the class library does
    [[nodiscard]] TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);

    // Owned by the brush; valid until an attribute changes. bsClear gives the null brush.
    [[nodiscard]] HBRUSH Handle();
    void Assign(const TBrush* source);
    [[nodiscard]] std::uint64_t Version() const { return version_; }
    // Called before the handle is replaced (a canvas lets go of it then); one listener.
    void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

private:
    void Changed();

    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    HBRUSH handle_ = nullptr;
    std::uint64_t version_ = 1;
    std::function<void()> onChange_;
};
