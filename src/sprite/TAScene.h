#pragma once
// A set of sprite instances shown on one image control over the viewport's background. Only
// what changed is repainted: the areas instances left and the instances that changed, together
// with every instance overlapping those areas, so an unforced draw leaves the picture exactly as
// a forced one would. The scene borrows its instances (their sprites own them) and deletes them
// through their sprites when it is destroyed, so it must go before its sprite library, and an
// instance may belong to one scene only. GUI thread only.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sprite/TASpriteInstance.h"
#include "sprite/TAViewport.h"

class TAScene : public TAViewport {
public:
    // A scene over image (the class library's TImage, or any control with Width(), Height(),
    // Canvas() and Picture()->Bitmap()); the view takes the control's size.
    template <ViewTargetImage Image>
    explicit TAScene(Image* image) : TAScene(TAViewTarget::Of(image))
    {
    }
    explicit TAScene(std::nullptr_t) : TAScene(TAViewTarget()) {}
    // Removes every instance through its sprite; never throws.
    ~TAScene() override;

    // Borrows instance (null is ignored) and marks the scene for redraw.
    void AddInstance(TASpriteInstance* instance);
    // Null outside 0 .. GetInstanceCount() - 1.
    [[nodiscard]] TASpriteInstance* GetInstance(int index) const;
    [[nodiscard]] int GetInstanceCount() const { return static_cast<int>(instances_.size()); }

    // Advances every instance to time and queues the areas moved instances leave. Exceptions of
    // the animations pass through.
    void Update(std::int32_t time);
    // Paints the changes (or, forced, the whole background and every active instance) onto the
    // back buffer when there is one, else onto the target's picture; with blit the back buffer
    // is then copied to the target. Does nothing unforced when nothing changed.
    void Draw(bool force, bool blit);

    // Background caching keeps a back buffer of the view after the first draw and draws there.
    void SetCacheBackground(bool cache);
    [[nodiscard]] bool GetCacheBackground() const { return cacheBackground_; }
    // Makes or refreshes the back buffer from the target's picture.
    void CacheBackground();
    // Owned by the scene; null unless background caching made one.
    [[nodiscard]] TBitmap* GetBackBuffer() const { return backBuffer_.get(); }

    // Owners mark the scene when they changed instances and test the mark before drawing.
    [[nodiscard]] bool NeedsRedraw() const { return needsRedraw_; }
    void SetNeedsRedraw(bool needed) { needsRedraw_ = needed; }

    void DrawBackground(bool force, TCanvas* canvas = nullptr) override;

private:
    // What the canvas shows of an instance since the last draw.
    struct Shown {
        TRect rect;
        std::int32_t frame = 0;
        std::int32_t alpha = 0;
    };

    explicit TAScene(TAViewTarget target);
    [[nodiscard]] TRect CurrentRect(const TASpriteInstance* instance) const;
    [[nodiscard]] bool Pending(std::size_t i, const TRect& current) const;
    void DrawChanges(TCanvas* canvas, const std::vector<TRect>& current);
    void DrawAt(TCanvas* canvas, TASpriteInstance* instance);

    std::vector<TASpriteInstance*> instances_;
    bool needsRedraw_ = false;
    std::unique_ptr<TBitmap> backBuffer_;
    bool cacheBackground_ = false;
    std::vector<Shown> shown_;
    // The whole background was painted outside Draw: every instance must be drawn again.
    bool repaintAll_ = false;
};
