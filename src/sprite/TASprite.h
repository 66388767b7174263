#pragma once
// A named sprite: its frames (bitmaps, or images drawn with alpha), its named frame animations and
// its live instances. The sprite owns all of them. GUI thread only. Failures throw the class
// library's Exception (platform/Exception.h) with the texts given below.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TColor.h"
#include "platform/drawing/TRect.h"
#include "sprite/TAnimations.h"
#include "sprite/TASpriteInstance.h"

class PixImage;
class TCanvas;

class TASprite {
public:
    // The colour value that means "no transparent colour".
    static constexpr TColor kNoTransparentColor = 0x1FFFFFFF;

    explicit TASprite(std::string name);
    // Frees frames, animations and any instance still alive; never throws. Owners call
    // CheckInstances first: a scene still holding one of these instances would be left with a
    // dangling pointer.
    ~TASprite();
    TASprite(const TASprite&) = delete;
    TASprite& operator=(const TASprite&) = delete;

    // Throws "BUG: Deleting sprite obj while its instances exists!!! Check for properly instances
    // deleting." when instances remain; the teardown-order check owners run before deleting.
    void CheckInstances() const;

    [[nodiscard]] const std::string& GetName() const { return name_; }
    [[nodiscard]] int GetFrameCount() const { return static_cast<int>(bitmaps_.size()); }

    // Adds a frame holding its own copy of bitmap (the caller keeps its bitmap), keyed by colour
    // unless it is kNoTransparentColor; a null bitmap adds an empty frame. Returns its index.
    int AddImage(const TBitmap* bitmap, TColor transparentColor);
    // Adds a frame decoded from file (format detected from the contents). With alpha or
    // keepImage the frame keeps the image and is drawn with alpha blending; else it becomes a
    // bitmap frame. shift != -1 adds its red, green and blue bytes to every colour. A file that
    // does not decode adds an empty frame. Returns the new index. A missing file throws
    // "File not found:<file> src=...ASprite.cpp:TASprite::AddImageFromFile:649".
    int AddImageFromFile(const std::string& fileName, TColor transparentColor, bool alpha, bool keepImage,
                         TColor colorShift);
    // Appends a copy to the frame animations and returns its index; one without keys throws
    // "TAnimations::Add  Bad animation.".
    int AddAnimation(const TAnimation& animation);
    // The frame animation's name; "Default" when there is none at that index.
    [[nodiscard]] std::string GetAnimationName(int index) const;
    // Index of the first frame animation with exactly that name, -1 when none.
    [[nodiscard]] int FindAnimation(const std::string& name) const;
    // The frame animations (owned by the sprite); null until the first AddAnimation.
    [[nodiscard]] const TAnimations* GetAnimations() const { return frameAnimations_.get(); }

    // A new visible, active instance, owned by this sprite.
    [[nodiscard]] TASpriteInstance* CreateInstance();
    // Deletes one of this sprite's instances. Throws "TASprite: NO Instance created, cant remove
    // it!" when it has none, "TASprite: UNKNOWN inst pointer, cant remove it!" when the instance is
    // not one of them.
    void RemoveInstance(TASpriteInstance* instance);
    [[nodiscard]] int GetInstanceCount() const { return static_cast<int>(instances_.size()); }

    // Binds the instance to this sprite with frame 0, animation 0 stopped.
    void InitInstance(TASpriteInstance* instance);
    // Shows the first key's frame of the instance's animation, stopped.
    void ResetInstanceAnimation(TASpriteInstance* instance);
    // Runs the instance's animation from time; one of fewer than 3 keys only shows its first key.
    void StartInstanceAnimation(TASpriteInstance* instance, std::int32_t time);
    // Selects the frame animation called name (stopped, first key shown) and returns its index;
    // raises changed when the frame differs. An unknown name throws "Animation:<name>  not found
    // src=...ASprite.cpp:TASprite::SetInstanceAnimation:695", leaving the instance initialised.
    int SetInstanceAnimation(TASpriteInstance* instance, const std::string& name);

    // Frame size from its bitmap, else its image; 0 for an empty frame or an index out of range.
    [[nodiscard]] int GetFrameWidth(int i) const;
    [[nodiscard]] int GetFrameHeight(int i) const;
    // Whether the instance's current frame needs the background repainted under it (keyed and
    // alpha frames); false when its composed frame is cached.
    [[nodiscard]] bool NeedsRestore(const TASpriteInstance* instance) const;

    // One animation step of the instance at time (the instance's clocks are in the same units).
    void UpdateInstance(TASpriteInstance* instance, std::int32_t time);
    // Draws the instance's current frame centred at (x, y) on canvas (colour-keyed frames by
    // TransparentBlt, or by DrawTransparentBitmap when Win9xMode is set; image frames blended with
    // 255 - alpha as their alpha maximum) and records the rectangle drawn.
    void DrawInstance(TCanvas* canvas, TASpriteInstance* instance, int x, int y);
    // The canvas rectangle DrawInstance would paint at (x, y); empty when it would paint nothing.
    [[nodiscard]] TRect GetDrawRect(const TASpriteInstance* instance, int x, int y) const;

private:
    struct Placement {
        enum Kind { EmptyFrame, ClippedOut, Drawn };
        Kind kind = EmptyFrame;
        TRect source;  // in the frame
        TRect dest;    // on the canvas
    };
    [[nodiscard]] bool ValidFrame(int i) const { return i >= 0 && i < GetFrameCount(); }
    [[nodiscard]] Placement Place(const TASpriteInstance* instance, int x, int y) const;
    void FrameStep(TASpriteInstance* instance, std::int32_t time);
    void AlphaStep(TASpriteInstance* instance, std::int32_t time);

    std::unique_ptr<TAnimations> frameAnimations_;
    // Kept for the alpha clock of the instances; no operation fills it.
    std::unique_ptr<TAnimations> alphaAnimations_;
    std::string name_;
    std::vector<std::unique_ptr<TBitmap>> bitmaps_;
    std::vector<TColor> transparentColors_;
    std::vector<std::unique_ptr<PixImage>> images_;
    std::vector<bool> transparent_;
    std::vector<std::unique_ptr<TASpriteInstance>> instances_;
};
