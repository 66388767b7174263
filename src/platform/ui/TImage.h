#pragma once
#include <cstdint>
#include <optional>
// The class library's image control: shows the bitmap of its Picture at the top left (or
// stretched to the control, or centred). Its Canvas is that bitmap's canvas, so what is drawn on
// it is part of the picture; the control shows such drawing once the event loop runs again while
// it is visible, or at once after Repaint. GUI thread only.
#include <memory>

#include "platform/drawing/Gdi.h"

#include "platform/ui/TControl.h"

class TPicture;

class TImage : public TControl {
public:
    explicit TImage(TControl* owner);
    ~TImage() override;

    // Owned by the image; SetPicture copies the given picture.
    [[nodiscard]] TPicture* Picture() const { return picture_.get(); }
    void SetPicture(const TPicture* picture);
    // The picture's bitmap canvas; an empty picture first becomes a bitmap of the control's size.
    [[nodiscard]] TCanvas* Canvas() override;

    [[nodiscard]] bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch);
    [[nodiscard]] bool Center() const { return center_; }
    void SetCenter(bool center);
    // The control takes the picture's size whenever it paints.
    [[nodiscard]] bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);

    // True unless the picture is the one last painted and nothing has been drawn on it since.
    [[nodiscard]] bool RefreshDue() override;

protected:
    void Paint() override;

private:
    std::unique_ptr<TPicture> picture_;
    bool stretch_ = false;
    bool center_ = false;
    // What the last paint showed: the picture's bitmap handle and its write count.
    HBITMAP paintedHandle_ = nullptr;
    std::optional<std::uint64_t> paintedGeneration_;
    bool autoSize_ = false;
};
