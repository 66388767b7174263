#pragma once
// The class library's font: attributes and the GDI font made from them. GUI thread only.
// The font owns its handle; changing an attribute makes a new handle at the next Handle().
#include <cstdint>
#include <functional>
#include <string>

#include "platform/drawing/Gdi.h"
#include "platform/drawing/TColor.h"

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;  // a set of TFontStyle bits

class TFont {
public:
    TFont() = default;
    ~TFont();
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    [[nodiscard]] const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    // Size in points at 96 dpi; Height = -(Size * 96 / 72) rounded, the character height in pixels.
    [[nodiscard]] int Size() const;
    void SetSize(int points);
    [[nodiscard]] int Height() const { return height_; }
    void SetHeight(int height);
    [[nodiscard]] TColor Color() const { return color_; }
    void SetColor(TColor color);
    [[nodiscard]] TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);
    [[nodiscard]] BYTE Quality() const { return quality_; }
    void SetQuality(BYTE quality);
    [[nodiscard]] int PixelsPerInch() const { return 96; }

    // The font's handle, made on demand; owned by the font, valid until an attribute changes.
    [[nodiscard]] HFONT Handle();
    // Adopts handle (the font then owns and frees it); name, height, style and quality follow the
    // handle's LOGFONT. A null or unknown handle is ignored.
    void SetHandle(HFONT handle);
    // Copies every attribute (not the handle) of source; null leaves this font unchanged.
    void Assign(const TFont* source);

    // Counts changes, so a canvas knows when to take the font again.
    [[nodiscard]] std::uint64_t Version() const { return version_; }
    // Called before the handle is replaced (a canvas lets go of it then); one listener.
    void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

private:
    void Changed(bool handleToo);

    std::string name_ = "MS Sans Serif";
    int height_ = -11;
    TColor color_ = clWindowText;
    TFontStyles style_ = 0;
    BYTE quality_ = DEFAULT_QUALITY;
    HFONT handle_ = nullptr;
    std::uint64_t version_ = 1;
    std::function<void()> onChange_;
};
