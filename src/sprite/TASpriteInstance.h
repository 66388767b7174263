#pragma once
// One placed copy of a sprite: position of the frame's centre, visibility, the current frame and
// alpha, the clocks of its frame and alpha animations, and the flags that tell a scene what to
// repaint. Created only by TASprite::CreateInstance and destroyed only by
// TASprite::RemoveInstance (or the sprite's destructor); scenes borrow it. GUI thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TRect.h"

class TASprite;
class TCanvas;

class TASpriteInstance {
public:
    // Lives for one animation step: on leaving it compares the instance with how it was when the
    // step began and raises changed (frame or alpha differ) and moved (the old area must be
    // repainted: the frame needs a restore or shrank).
    class TInstUpdate {
    public:
        explicit TInstUpdate(TASpriteInstance* instance);
        ~TInstUpdate();
        TInstUpdate(const TInstUpdate&) = delete;
        TInstUpdate& operator=(const TInstUpdate&) = delete;

    private:
        TASpriteInstance* instance_ = nullptr;
        std::int32_t frame_ = 0;
        std::int32_t alpha_ = 0;
        int width_ = 0;
        int height_ = 0;
    };

    ~TASpriteInstance();
    TASpriteInstance(const TASpriteInstance&) = delete;
    TASpriteInstance& operator=(const TASpriteInstance&) = delete;

    // Advances the animations when active; returns the changed flag.
    bool Update(std::int32_t time);
    // Clears changed; false without drawing when hidden, else draws centred at (x, y) and returns
    // true (see TASprite::DrawInstance).
    bool Draw(TCanvas* canvas, int x, int y);

    [[nodiscard]] bool IsVisible() const { return visible_; }
    [[nodiscard]] bool IsActive() const { return active_; }
    // A change raises changed; hiding also raises moved, so the scene repaints the area left.
    void SetVisible(bool visible);
    void SetActive(bool active) { active_ = active; }

    // Position of the frame's centre; with a clip rectangle, of the clipped part's centre.
    [[nodiscard]] float GetX() const;
    [[nodiscard]] float GetY() const;
    // A new position raises moved and changed and drops the composed frames.
    void SetX(float x);
    void SetY(float y);
    // The current frame's size, or the clip rectangle's size (0 when the frame is empty).
    [[nodiscard]] int GetWidth() const;
    [[nodiscard]] int GetHeight() const;

    // Only the part clip (relative to the frame's centre) of each frame is drawn; null draws whole
    // frames. Raises changed and moved and drops the composed frames.
    void SetClipRect(const TRect* clip);
    [[nodiscard]] const TRect* GetClipRect() const { return clip_.get(); }

    // When on, each frame is drawn once over what lies beneath and that composition is reused by
    // later draws. Switching it off drops the composed frames.
    void SetCacheFrames(bool cache);
    [[nodiscard]] bool GetCacheFrames() const { return cacheFrames_; }
    // Drops the composed frames; raises changed and moved when there were any.
    void ClearFrameCache();
    // The composed bitmap of frame i (owned by the instance), null when none is stored.
    [[nodiscard]] TBitmap* CachedFrame(int i) const;

    // Selects the owner's frame animation of that name (see TASprite::SetInstanceAnimation).
    int SetAnimation(const std::string& name);
    // Starts the current frame animation at time (see TASprite::StartInstanceAnimation).
    void StartAnimation(std::int32_t time);

    [[nodiscard]] TASprite* GetOwner() const { return owner_; }
    [[nodiscard]] std::int32_t GetFrame() const { return frame_; }
    [[nodiscard]] std::int32_t GetFrameAnimation() const { return frameAnimation_; }
    [[nodiscard]] std::int32_t GetFrameKey() const { return frameKey_; }
    [[nodiscard]] std::int32_t GetFrameStart() const { return frameStart_; }
    [[nodiscard]] std::int32_t GetFrameEnd() const { return frameEnd_; }
    [[nodiscard]] float GetFrameSpeed() const { return frameSpeed_; }
    [[nodiscard]] bool GetFrameLoop() const { return frameLoop_; }
    // 0 opaque .. 255 hidden; image frames are drawn with 255 - alpha as their alpha maximum.
    // A new value raises changed and moved (a blended frame is repainted over the background) and
    // drops the composed frames.
    [[nodiscard]] std::int32_t GetAlpha() const { return alpha_; }
    void SetAlpha(std::int32_t alpha);

    // Changed: must be drawn again. Moved: the area last drawn must be repainted first.
    // Owners raise changed themselves after placing an instance; scenes clear both after drawing.
    [[nodiscard]] bool IsChanged() const { return changed_; }
    void SetChanged(bool changed) { changed_ = changed; }
    [[nodiscard]] bool IsMoved() const { return moved_; }
    void SetMoved(bool moved) { moved_ = moved; }
    // Canvas rectangle of the last drawing; empty when nothing was drawn.
    [[nodiscard]] const TRect& GetLastDrawnRect() const { return lastDrawn_; }

private:
    friend class TASprite;

    explicit TASpriteInstance(TASprite* owner);
    [[nodiscard]] int ClipCentreX() const;
    [[nodiscard]] int ClipCentreY() const;
    void StoreCachedFrame(int i, std::unique_ptr<TBitmap> bitmap);

    std::vector<std::unique_ptr<TBitmap>> frameCache_;
    std::unique_ptr<TRect> clip_;
    TRect lastDrawn_;
    bool cacheFrames_ = false;
    bool changed_ = true;
    bool moved_ = false;
    float frameSpeed_ = 0;
    float alphaSpeed_ = 0;
    bool frameLoop_ = false;
    bool alphaLoop_ = false;
    TASprite* owner_ = nullptr;
    float x_ = 0;
    float y_ = 0;
    std::int32_t alphaKey_ = 0;
    std::int32_t alpha_ = 0;
    std::int32_t alphaStart_ = 0;
    std::int32_t alphaEnd_ = 0;
    std::int32_t alphaAnimation_ = 0;
    std::int32_t frame_ = 0;
    std::int32_t frameKey_ = 0;
    std::int32_t frameStart_ = 0;
    std::int32_t frameEnd_ = 0;
    std::int32_t frameAnimation_ = 0;
    bool visible_ = false;
    bool active_ = false;
};
