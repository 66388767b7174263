#include "platform/ui/TControl.h"

#include <QPointer>

#include <algorithm>

#include "platform/ui/ApplicationInstance.h"
#include "platform/ui/ControlWidget.h"
#include "platform/ui/ControlsInternal.h"
#include "platform/ui/EventBridge.h"
#include "platform/system/Exception.h"
#include "platform/drawing/GdiInternal.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"
#include "platform/drawing/TFont.h"
#include "platform/ui/TWinControl.h"

struct TControl::Impl {
    ControlWidget* widget = nullptr;
    TBitmap surface;
    bool painting = false;
    bool clicked = false;
    QPointer<QWidget> host;  // a Qt widget that holds a control without a parent control
};

TControl::TControl(TControl* owner) : impl_(std::make_unique<Impl>()), font_(std::make_unique<TFont>())
{
    EnsureApplication();
    impl_->widget = new ControlWidget(this);
    impl_->surface.SetSize(1, 1);
    if (owner) {
        owner_ = owner;
        owner->InsertComponent(this);
    }
}

TControl::~TControl()
{
    componentState_ |= csDestroying;
    while (!components_.empty())
        delete components_.back();
    if (parent_)
        parent_->RemoveControl(this);
    parent_ = nullptr;
    if (owner_)
        owner_->RemoveComponent(this);
    impl_->widget->Dispose();
}

TControl* TControl::Components(int index) const
{
    return index >= 0 && index < int(components_.size()) ? components_[size_t(index)] : nullptr;
}

void TControl::InsertComponent(TControl* component) { components_.push_back(component); }

void TControl::RemoveComponent(TControl* component)
{
    components_.erase(std::remove(components_.begin(), components_.end(), component), components_.end());
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent == parent_)
        return;
    for (TControl* p = parent; p; p = p->parent_)
        if (p == this)
            throw Exception("A control cannot have itself as its parent");
    TWinControl* old = parent_;
    if (old)
        old->RemoveControl(this);
    parent_ = parent;
    ControlWidget* w = impl_->widget;
    w->settingGeometry = true;
    if (parent) {
        impl_->host = nullptr;
        w->setParent(ControlAccess::Widget(parent));
        w->setGeometry(left_, top_, width_, height_);
        parent->InsertControl(this);
        w->setVisible(visible_);
        if (parentShowHint_)
            InheritShowHint(parent->ShowHint());
    } else {
        w->setParent(nullptr);
        w->setGeometry(left_, top_, width_, height_);
    }
    w->settingGeometry = false;
    if (old && align_ != alNone)
        old->AlignControls();
    if (parent && align_ != alNone)
        parent->AlignControls();
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    const bool sized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    ControlWidget* w = impl_->widget;
    w->settingGeometry = true;
    w->setGeometry(left, top, width, height);
    w->settingGeometry = false;
    if (!sized) {
        if (parent_ && align_ != alNone)
            parent_->AlignControls();
        return;
    }
    Invalidate();
    if (!(componentState_ & csLoading))
        Resize();
    if (auto* self = dynamic_cast<TWinControl*>(this))
        self->AlignControls();
    if (parent_ && align_ != alNone)
        parent_->AlignControls();
}

POINT TControl::ClientToScreen(POINT point) const
{
    const QPoint p = impl_->widget->mapToGlobal(QPoint(point.x, point.y));
    return POINT{p.x(), p.y()};
}

POINT TControl::ScreenToClient(POINT point) const
{
    const QPoint p = impl_->widget->mapFromGlobal(QPoint(point.x, point.y));
    return POINT{p.x(), p.y()};
}

void TControl::SetAlign(TAlign align)
{
    if (align == align_)
        return;
    align_ = align;
    if (parent_)
        parent_->AlignControls();
}

void TControl::SetVisible(bool visible)
{
    visible_ = visible;
    // A control in no window shows as a window of its own.
    impl_->widget->setVisible(visible);
    if (parent_ && align_ != alNone)
        parent_->AlignControls();
}

bool TControl::Showing() const { return impl_->widget->isVisible(); }

void TControl::SetEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    impl_->widget->setEnabled(enabled);
    Invalidate();
}

void TControl::BringToFront() { impl_->widget->raise(); }

void TControl::SendToBack() { impl_->widget->lower(); }

void TControl::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    Invalidate();
}

void TControl::SetCaption(const std::string& caption)
{
    if (caption == caption_)
        return;
    caption_ = caption;
    impl_->widget->setWindowTitle(gdi::FromAnsi(caption.c_str(), int(caption.size())));
    Invalidate();
}

void TControl::SetFont(const TFont* font)
{
    font_->Assign(font);
    Invalidate();
}

void TControl::SetHint(const std::string& hint)
{
    hint_ = hint;
    ApplyHint();
}

void TControl::SetShowHint(bool showHint)
{
    parentShowHint_ = false;
    InheritShowHint(showHint);
}

void TControl::SetParentShowHint(bool parentShowHint)
{
    parentShowHint_ = parentShowHint;
    if (parentShowHint && parent_)
        InheritShowHint(parent_->ShowHint());
}

void TControl::InheritShowHint(bool showHint)
{
    showHint_ = showHint;
    ApplyHint();
    if (auto* self = dynamic_cast<TWinControl*>(this))
        for (int i = 0; i < self->ControlCount(); ++i)
            if (self->Controls(i)->parentShowHint_)
                self->Controls(i)->InheritShowHint(showHint);
}

void TControl::ApplyHint()
{
    const std::string shortHint = hint_.substr(0, hint_.find('|'));
    impl_->widget->setToolTip(showHint_ ? gdi::FromAnsi(shortHint.c_str(), int(shortHint.size())) : QString());
}

TCanvas* TControl::Canvas() { return ControlCanvas(); }

TCanvas* TControl::ControlCanvas()
{
    TBitmap& surface = impl_->surface;
    const int w = std::max(width_, 1), h = std::max(height_, 1);
    if (surface.Width() != w || surface.Height() != h)
        surface.SetSize(w, h);
    return surface.Canvas();
}

void TControl::Invalidate()
{
    invalid_ = true;
    impl_->widget->update();
}

void TControl::Update()
{
    if (invalid_ && !impl_->painting)
        PaintNow();
    impl_->widget->update();
}

void TControl::Repaint()
{
    invalid_ = true;
    Update();
}

void TControl::PaintNow()
{
    TCanvas* canvas = ControlCanvas();
    impl_->painting = true;
    invalid_ = false;
    try {
        TMessage erase{WM_ERASEBKGND, WPARAM(canvas->Handle()), 0, 0};
        Dispatch(erase);
        TMessage paint{WM_PAINT, 0, 0, 0};
        Dispatch(paint);
    } catch (...) {
        impl_->painting = false;
        throw;
    }
    impl_->painting = false;
}

void TControl::Loaded() { componentState_ &= ~TComponentState(csLoading); }

std::intptr_t TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam)
{
    TMessage message{msg, wParam, lParam, 0};
    Dispatch(message);
    return message.Result;
}

void TControl::Dispatch(TMessage& message) { DefaultHandler(message); }

void TControl::DefaultHandler(TMessage& message)
{
    switch (message.Msg) {
    case WM_ERASEBKGND:
        EraseBackground(reinterpret_cast<HDC>(message.WParam));
        message.Result = 1;
        break;
    case WM_PAINT: Paint(); break;
    default: break;
    }
}

void TControl::EraseBackground(HDC dc)
{
    if (!dc)
        return;
    HBRUSH brush = CreateSolidBrush(ColorToRGB(color_));
    const RECT r{0, 0, width_, height_};
    ::FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void TControl::Click()
{
    if (OnClick)
        OnClick(this);
}

void TControl::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown)
        OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TControl::MouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TControl::Resize()
{
    if (OnResize)
        OnResize(this);
}

// Access for the widget and the application -------------------------------------------------------

QWidget* WidgetOf(const TControl* control) { return control ? ControlAccess::Widget(control) : nullptr; }

TControl* ControlOf(const QWidget* widget)
{
    auto* w = dynamic_cast<const ControlWidget*>(widget);
    return w ? w->Control() : nullptr;
}

void HostInWidget(TControl* control, QWidget* parent)
{
    if (!control || control->Parent())
        return;
    ControlWidget* w = ControlAccess::Widget(control);
    ControlAccess::SetHost(control, parent);
    w->settingGeometry = true;
    w->setParent(parent);
    w->setGeometry(control->Left(), control->Top(), control->Width(), control->Height());
    w->settingGeometry = false;
    if (parent)
        w->setVisible(control->Visible());
}

ControlWidget* ControlAccess::Widget(const TControl* control) { return control->impl_->widget; }

void ControlAccess::SetHost(TControl* control, QWidget* host) { control->impl_->host = host; }

void ControlAccess::Paint(TControl* control)
{
    CallEventHandler([control] {
        if (control->invalid_ && !control->impl_->painting)
            control->PaintNow();
    });
}

QImage* ControlAccess::Surface(TControl* control)
{
    return GdiColorImage(control->ControlCanvas()->Handle());
}

void ControlAccess::MousePress(TControl* control, TMouseButton button, TShiftState shift, int x, int y,
                               bool isDouble)
{
    QPointer<ControlWidget> widget = control->impl_->widget;
    const bool clickEvents = (control->controlStyle_ & csClickEvents) != 0;
    // The second press of a double click does not arm a click.
    control->impl_->clicked = button == mbLeft && !isDouble && clickEvents;
    if (isDouble && button == mbLeft && clickEvents) {
        CallEventHandler([=] { control->DblClick(); });
        if (!widget || widget->Control() != control)
            return;  // the handler destroyed the control
    }
    CallEventHandler([=] { control->MouseDown(button, isDouble ? shift | ssDouble : shift, x, y); });
}

void ControlAccess::MouseRelease(TControl* control, TMouseButton button, TShiftState shift, int x, int y)
{
    QPointer<ControlWidget> widget = control->impl_->widget;
    CallEventHandler([=] {
        if (button == mbLeft && control->impl_->clicked) {
            control->impl_->clicked = false;
            if (x >= 0 && y >= 0 && x < control->width_ && y < control->height_)
                control->Click();
        }
    });
    // A click handler may have destroyed the control.
    if (widget && widget->Control() == control)
        CallEventHandler([=] { control->MouseUp(button, shift, x, y); });
}

void ControlAccess::MouseMove(TControl* control, TShiftState shift, int x, int y)
{
    CallEventHandler([=] { control->MouseMove(shift, x, y); });
}

void ControlAccess::Enter(TControl* control)
{
    CallEventHandler([=] { control->MouseEnter(); });
}

void ControlAccess::Leave(TControl* control)
{
    CallEventHandler([=] { control->MouseLeave(); });
}

void ControlAccess::Geometry(TControl* control, int left, int top, int width, int height)
{
    CallEventHandler([=] { control->SetBounds(left, top, width, height); });
}
