#pragma once
// The class library's pen: colour, width in pixels and style (solid or clear). GUI thread only.
// The pen owns its handle; changing an attribute makes a new handle at the next Handle().
#include <cstdint>
#include <functional>

#include "platform/drawing/Gdi.h"
#include "platform/drawing/TColor.h"

enum TPenStyle { psSolid, psClear };

class TPen {
public:
    TPen() = default;
    ~TPen();
    TPen(const TPen&) = delete;
    TPen& operator=(const TPen&) = delete;

    [[nodiscard]] TColor Color() const { return color_; }
    void SetColor(TColor color);
    [[nodiscard]] int Width() const { return width_; }
    void SetWidth(int width);  // below 1 counts as 1
    [[nodiscard]] TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);

    // Owned by the pen; valid until an attribute changes.
    [[nodiscard]] HPEN Handle();
    void Assign(const TPen* source);
    [[nodiscard]] std::uint64_t Version() const { return version_; }
    // Called before the handle is replaced (a canvas lets go of it then); one listener.
    void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

private:
    void Changed();

    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    HPEN handle_ = nullptr;
    std::uint64_t version_ = 1;
    std::function<void()> onChange_;
};
