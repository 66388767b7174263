#pragma once
// The class library's control: a rectangle of a window with its owner and parent, its look
// (colour, caption, font, hint) and its mouse events. Every control here is backed by a widget of
// its own and paints into an off-screen canvas of its size, which is then shown; the canvas can be
// read back at any time.
//
// Thread: GUI thread only. Ownership: an owner destroys the controls it owns (in reverse order of
// creation) when it is destroyed itself; a control leaves its owner's and parent's lists when it
// is destroyed first. Failure: drawing throws the class library's Exception (src/platform/
// Exception.h) as the canvas does; every event handler is called through the event bridge, which
// shows an escaping exception and never lets it reach the window system's event loop.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/drawing/Gdi.h"
#include "platform/drawing/TColor.h"
#include "platform/drawing/TRect.h"
#include "platform/ui/TShiftState.h"
#include "platform/ui/WindowMessages.h"

class TCanvas;
class TFont;
class TWinControl;
class ControlAccess;

// Base of everything an event handler can receive as its sender.
class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;

// A window message as a control's message map receives it.
struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    std::intptr_t Result = 0;
};

constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_ERASEBKGND = 0x0014;  // WParam: the device context to erase
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// Control style and state flags (sets of bits).
enum TControlStyleFlag : unsigned {
    csAcceptsControls = 1u << 0,
    csCaptureMouse = 1u << 1,
    csClickEvents = 1u << 2,
    csOpaque = 1u << 3,
    csDoubleClicks = 1u << 4,
    csSetCaption = 1u << 5,
};
using TControlStyle = unsigned;
enum TComponentStateFlag : unsigned { csLoading = 1u << 0, csDestroying = 1u << 1 };
using TComponentState = unsigned;

class TControl : public TObject {
public:
    // owner may be null; the control starts without a parent (so it shows nowhere) and in the
    // loading state, which Loaded ends.
    explicit TControl(TControl* owner);
    ~TControl() override;
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    [[nodiscard]] TControl* Owner() const { return owner_; }
    [[nodiscard]] int ComponentCount() const { return int(components_.size()); }
    [[nodiscard]] TControl* Components(int index) const;  // null outside 0 .. ComponentCount() - 1
    [[nodiscard]] TWinControl* Parent() const { return parent_; }
    // Places the control in parent (null: in no window). A control cannot be its own ancestor:
    // such a parent throws Exception "A control cannot have itself as its parent".
    virtual void SetParent(TWinControl* parent);

    [[nodiscard]] const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    [[nodiscard]] int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }
    [[nodiscard]] TComponentState ComponentState() const { return componentState_; }
    [[nodiscard]] TControlStyle ControlStyle() const { return controlStyle_; }
    void SetControlStyle(TControlStyle style) { controlStyle_ = style; }

    // Position in the parent's client area and size, in pixels. Sizes below 0 count as 0.
    [[nodiscard]] int Left() const { return left_; }
    [[nodiscard]] int Top() const { return top_; }
    [[nodiscard]] int Width() const { return width_; }
    [[nodiscard]] int Height() const { return height_; }
    void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
    void SetTop(int top) { SetBounds(left_, top, width_, height_); }
    void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
    void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
    // A size change outside the loading state calls Resize (OnResize) and realigns the children.
    virtual void SetBounds(int left, int top, int width, int height);
    [[nodiscard]] int ClientWidth() const { return width_; }
    [[nodiscard]] int ClientHeight() const { return height_; }
    [[nodiscard]] TRect ClientRect() const { return TRect(0, 0, width_, height_); }
    [[nodiscard]] TRect BoundsRect() const { return TRect(left_, top_, left_ + width_, top_ + height_); }
    [[nodiscard]] POINT ClientToScreen(POINT point) const;
    [[nodiscard]] POINT ScreenToClient(POINT point) const;

    [[nodiscard]] TAlign Align() const { return align_; }
    void SetAlign(TAlign align);
    [[nodiscard]] bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Whether the control and all its parents are visible.
    [[nodiscard]] bool Showing() const;
    // A disabled control receives no mouse input; changing it repaints later.
    [[nodiscard]] bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);
    void BringToFront();
    void SendToBack();

    [[nodiscard]] TColor Color() const { return color_; }
    void SetColor(TColor color);
    [[nodiscard]] const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    // Owned by the control; SetFont copies the attributes of the given font.
    [[nodiscard]] TFont* Font() const { return font_.get(); }
    void SetFont(const TFont* font);
    // The tool tip shows the hint's text up to a "|" while ShowHint is true. Setting ShowHint
    // clears ParentShowHint; while ParentShowHint is true, ShowHint follows the parent's.
    [[nodiscard]] const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);
    [[nodiscard]] bool ShowHint() const { return showHint_; }
    void SetShowHint(bool showHint);
    [[nodiscard]] bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool parentShowHint);

    // The canvas the control paints on: an off-screen bitmap of the control's size, owned by the
    // control. What is drawn on it shows at the next paint; reading it gives what was painted.
    [[nodiscard]] virtual TCanvas* Canvas();

    // Marks the control for painting by the event loop.
    void Invalidate();
    // Paints now when marked (even while hidden), then shows the result.
    void Update();
    // Invalidate and Update: the whole control is painted before this returns.
    void Repaint();
    void Refresh() { Repaint(); }
    // Whether a control that repaints on a timer (its content changes without notice) has
    // anything new to show. GUI thread.
    [[nodiscard]] virtual bool RefreshDue() { return true; }

    // Called once the properties are set (after a form is built): ends the loading state.
    virtual void Loaded();

    // Sends a message through the control's message map now; returns its result.
    std::intptr_t Perform(UINT msg, WPARAM wParam, LPARAM lParam);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnResize;

protected:
    // The message map: paint and erase, hover, leave and whatever a caller sends. Overrides pass
    // the messages they do not handle on to the inherited Dispatch.
    virtual void Dispatch(TMessage& message);
    // What a message gets when no message map handles it: the default erase fills the client area
    // with Color, the default paint runs Paint.
    virtual void DefaultHandler(TMessage& message);
    // Draws the control on Canvas(); the default draws nothing.
    virtual void Paint() {}
    virtual void EraseBackground(HDC dc);

    // Each raises its event when one is set. Click runs after a left press and release inside the
    // control, before MouseUp; the second press of a double click runs DblClick and MouseDown
    // with ssDouble, and its release gives no Click.
    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void Resize();

    // The off-screen canvas of the control, whatever Canvas returns in a derived class.
    [[nodiscard]] TCanvas* ControlCanvas();
    void SetComponentState(TComponentState state) { componentState_ = state; }

private:
    friend class ControlAccess;
    friend class TWinControl;
    struct Impl;

    void PaintNow();
    void InsertComponent(TControl* component);
    void RemoveComponent(TControl* component);
    void ApplyHint();
    void InheritShowHint(bool showHint);

    std::unique_ptr<Impl> impl_;
    TControl* owner_ = nullptr;
    std::vector<TControl*> components_;
    TWinControl* parent_ = nullptr;
    std::string name_;
    int tag_ = 0;
    TComponentState componentState_ = csLoading;
    TControlStyle controlStyle_ = csCaptureMouse | csClickEvents | csDoubleClicks;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    TAlign align_ = alNone;
    bool visible_ = true;
    bool enabled_ = true;
    TColor color_ = clBtnFace;
    std::string caption_;
    std::unique_ptr<TFont> font_;
    std::string hint_;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    bool invalid_ = true;
};
