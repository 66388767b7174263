#pragma once
// A view onto an image control: its size and origin, an optional background, and the rectangles
// to repaint from the background (restore list) or marked dirty by the owner (dirty list).
// GUI thread only; nothing here throws.
#include <memory>
#include <vector>

#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TRect.h"
#include "sprite/TAViewTarget.h"

class TCanvas;

class TAViewport {
public:
    TAViewport() = default;
    virtual ~TAViewport();
    TAViewport(const TAViewport&) = delete;
    TAViewport& operator=(const TAViewport&) = delete;

    // Both clamp the rectangle to the view and queue it unless it is narrower or lower than 2
    // pixels (false) or an entry already contains it (true, nothing added); true when queued.
    virtual bool AddDirtyRect(const TRect& rect);
    virtual bool AddRestoreRect(const TRect& rect);
    // Whether the clamped rectangle (at least 2 x 2) meets an entry of the dirty or restore list.
    [[nodiscard]] virtual bool IsDirty(const TRect& rect) const;
    // Paints the background onto canvas (the target's picture bitmap when null): only the restore
    // list's rectangles unless forced or the background is new, else all of it, which also
    // empties the restore list. Nothing without a background.
    virtual void DrawBackground(bool force, TCanvas* canvas = nullptr);

    // The background becomes an own device-dependent copy of graphic (null: an empty one),
    // painted whole at the next draw.
    void SetBackground(const TGraphic* graphic);
    // Owned by the viewport; null until SetBackground.
    [[nodiscard]] TBitmap* GetBackground() const { return background_.get(); }
    [[nodiscard]] bool IsBackgroundNew() const { return backgroundNew_; }

    [[nodiscard]] const std::vector<TRect>& GetRestoreRects() const { return restore_; }
    [[nodiscard]] const std::vector<TRect>& GetDirtyRects() const { return dirty_; }

    // Subtracted from instance positions when drawing.
    [[nodiscard]] float GetOriginX() const { return originX_; }
    [[nodiscard]] float GetOriginY() const { return originY_; }
    void SetOrigin(float x, float y)
    {
        originX_ = x;
        originY_ = y;
    }
    [[nodiscard]] float GetViewWidth() const { return viewWidth_; }
    [[nodiscard]] float GetViewHeight() const { return viewHeight_; }

protected:
    // The rectangle limited to the view (possibly empty).
    [[nodiscard]] TRect ClampToView(const TRect& rect) const;
    static bool AddRect(std::vector<TRect>& list, const TRect& clamped);
    // The target's picture bitmap's canvas; null without a target.
    [[nodiscard]] TCanvas* TargetCanvas() const;

    float originY_ = 0;
    float originX_ = 0;
    float viewHeight_ = 0;
    float viewWidth_ = 0;
    TAViewTarget target_;
    std::unique_ptr<TBitmap> background_;
    std::vector<TRect> restore_;
    std::vector<TRect> dirty_;
    bool backgroundNew_ = false;
    bool backgroundOwned_ = false;
};
