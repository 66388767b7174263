#include "controls/THVPanel.h"

#include "controls/HVComponentUtils.h"
#include "image/PixImage.h"
#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/drawing/TCanvas.h"
#include "platform/ui/TImage.h"
#include "platform/drawing/TPicture.h"

struct THVPanel::Slot {
    int kind = 0;  // 0 a bitmap picture, 1 an alpha image
    std::unique_ptr<TPicture> picture;
    std::unique_ptr<PixImage> image;
};

THVPanel::THVPanel(TControl* owner) : TPanel(owner), slots_(std::make_unique<Slot[]>(kSlotCount))
{
    SetColor(clNone);
    SetBevelOuter(bvNone);
    SetCaption("");
    SetControlStyle(ControlStyle() & ~TControlStyle(csOpaque));
}

THVPanel::~THVPanel() = default;

// Properties -----------------------------------------------------------------------------------------

void THVPanel::SetBkColor(TColor color)
{
    bkColor_ = color;
    Repaint();
}

void THVPanel::SetPicture(std::string& stored, int slot, const std::string& name)
{
    SetPictureFile(stored, name, [&] { SetImage(useAlpha_ ? 1 : 0, slot, name); });
}

void THVPanel::SetPicOnIdle(const std::string& name)
{
    if (name == fileIdle_)
        return;
    SetPicture(fileIdle_, kSlotIdle, name);
    state_ = 0;
    Repaint();
}

void THVPanel::SetPicOnMouseMove(const std::string& name) { SetPicture(fileMouseMove_, kSlotMouseMove, name); }

void THVPanel::SetPicOnMouseDown(const std::string& name) { SetPicture(fileMouseDown_, kSlotMouseDown, name); }

void THVPanel::SetPicOnChecked(const std::string& name)
{
    if (name == fileChecked_)
        return;
    SetPicture(fileChecked_, kSlotChecked, name);
    Repaint();
}

void THVPanel::SetPicOnDisabled(const std::string& name) { SetPicture(fileDisabled_, kSlotDisabled, name); }

void THVPanel::SetText(const std::string& text)
{
    if (text == text_)
        return;
    text_ = text;
    Repaint();
}

void THVPanel::SetTextMarginX(int value)
{
    if (value == textMarginX_)
        return;
    textMarginX_ = value;
    if (textMarginOn_)
        Repaint();
}

void THVPanel::SetTextMarginY(int value)
{
    if (value == textMarginY_)
        return;
    textMarginY_ = value;
    if (textMarginOn_)
        Repaint();
}

void THVPanel::SetTextMoveX(int value)
{
    if (value == textMoveX_)
        return;
    textMoveX_ = value;
    Repaint();
}

void THVPanel::SetTextMoveY(int value)
{
    if (value == textMoveY_)
        return;
    textMoveY_ = value;
    Repaint();
}

void THVPanel::SetTextMarginOn(bool value)
{
    if (value == textMarginOn_)
        return;
    textMarginOn_ = value;
    Repaint();
}

void THVPanel::SetFontOnIdle(const TFont* font)
{
    for (TFont* target : {&fontOnIdle_, &fontOnDisabled_, &fontOnMouseMove_, &fontOnMouseDown_, &fontOnChecked_})
        AssignFontAntialiased(*target, font);
    Repaint();
}

void THVPanel::SetFontOnDisabled(const TFont* font) { AssignFontAntialiased(fontOnDisabled_, font); }

void THVPanel::SetFontOnMouseMove(const TFont* font) { AssignFontAntialiased(fontOnMouseMove_, font); }

void THVPanel::SetFontOnMouseDown(const TFont* font) { AssignFontAntialiased(fontOnMouseDown_, font); }

void THVPanel::SetFontOnChecked(const TFont* font)
{
    AssignFontAntialiased(fontOnChecked_, font);
    state_ = checked_ ? 3 : 0;
    Repaint();
}

void THVPanel::SetChecked(bool checked)
{
    if (checked == checked_)
        return;
    checked_ = checked;
    state_ = checked ? 3 : 0;
    Repaint();
}

// Slots ------------------------------------------------------------------------------------------------

void THVPanel::SetImage(int kind, int slot, const std::string& file)
{
    if (slot < 0 || slot >= kSlotCount)
        return;
    FreeImage(slot);
    Slot& s = slots_[size_t(slot)];
    s.kind = kind;
    try {
        if (kind == 1) {
            s.image = std::make_unique<PixImage>(ResolveFileName(file).c_str(), 0u);
            if (!s.image->IsValid())
                throw Exception("Cannot decode " + ResolveFileName(file));
        } else {
            s.picture = std::make_unique<TPicture>();
            LoadPictureFile(s.picture.get(), file);
        }
    } catch (...) {
        FreeImage(slot);
        throw;
    }
}

void THVPanel::FreeImage(int slot)
{
    if (slot < 0 || slot >= kSlotCount)
        return;
    slots_[size_t(slot)].picture.reset();
    slots_[size_t(slot)].image.reset();
}

bool THVPanel::SlotFilled(int slot) const
{
    if (slot < 0 || slot >= kSlotCount)
        return false;
    const Slot& s = slots_[size_t(slot)];
    return s.kind == 1 ? s.image != nullptr : s.picture != nullptr;
}

bool THVPanel::ImageDraw(TCanvas* canvas, int slot)
{
    if (!SlotFilled(slot) || !canvas)
        return false;
    Slot& s = slots_[size_t(slot)];
    if (s.kind == 1)
        s.image->Draw(canvas->Handle(), 0, 0, -1, -1, nullptr, false);
    else
        canvas->Draw(0, 0, s.picture->Graphic());
    return true;
}

// Life and messages ---------------------------------------------------------------------------------

void THVPanel::Loaded()
{
    if (state_ != -1)
        return;
    TPanel::Loaded();
    state_ = 0;
    Track(TME_HOVER | TME_LEAVE);
    for (TFont* font : {&fontOnIdle_, &fontOnChecked_, &fontOnDisabled_, &fontOnMouseMove_, &fontOnMouseDown_})
        SetFontAntialiased(font);
    Invalidate();
}

void THVPanel::Track(DWORD flags)
{
    tracking_.cbSize = sizeof(TRACKMOUSEEVENT);
    tracking_.dwFlags = flags;
    tracking_.hwndTrack = Handle();
    tracking_.dwHoverTime = 10;
    TrackMouseEvent(&tracking_);
}

void THVPanel::Dispatch(TMessage& message)
{
    switch (message.Msg) {
    case WM_PAINT: Draw(message); break;
    case WM_ERASEBKGND: MEraseBackground(message); break;
    case WM_MOUSEHOVER: MEnter(message); break;
    case WM_MOUSELEAVE: MLeave(message); break;
    default: TPanel::Dispatch(message); break;
    }
}

void THVPanel::MEnter(TMessage&)
{
    if (SlotFilled(kSlotMouseMove))
        state_ = 1;
    Repaint();
    Track(TME_LEAVE);
}

void THVPanel::MLeave(TMessage&)
{
    if (SlotFilled(kSlotIdle))
        state_ = 0;
    Repaint();
    Track(TME_HOVER);
}

void THVPanel::MouseMove(TShiftState shift, int x, int y)
{
    if (SlotFilled(kSlotMouseMove) && !InShift(shift, ssLeft) && state_ != 1) {
        state_ = 1;
        Repaint();
        Track(TME_LEAVE);
    }
    TPanel::MouseMove(shift, x, y);
}

void THVPanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (SlotFilled(kSlotMouseDown) && state_ != 2) {
        state_ = 2;
        Repaint();
    }
    TPanel::MouseDown(button, shift, x, y);
}

void THVPanel::Click() { TPanel::Click(); }

void THVPanel::PaintPlain()
{
    SetColor(bkColor_);
    TPanel::Paint();
}

void THVPanel::MEraseBackground(TMessage& message)
{
    if (state_ == -1 || !SlotFilled(state_))
        TPanel::Paint();
    message.Result = 1;
}

void THVPanel::Draw(TMessage&)
{
    TCanvas* canvas = ControlCanvas();
    bool painted = false;
    if (backgroundImage_) {
        const POINT origin = backgroundImage_->ScreenToClient(ClientToScreen(POINT{0, 0}));
        BitBlt(canvas->Handle(), 0, 0, Width(), Height(), backgroundImage_->Canvas()->Handle(), origin.x, origin.y,
               SRCCOPY);
    } else if (useAlpha_) {
        PaintPlain();
        painted = true;
    }
    TFont* font = &fontOnDisabled_;
    if (state_ >= 0 && SlotFilled(state_) && Enabled()) {
        if (checked_ && SlotFilled(kSlotChecked)) {
            painted = ImageDraw(canvas, kSlotChecked);
            font = &fontOnChecked_;
        } else {
            painted = ImageDraw(canvas, state_) || painted;
            font = state_ == 1 ? &fontOnMouseMove_ : state_ == 2 ? &fontOnMouseDown_ : &fontOnIdle_;
        }
    } else {
        painted = ImageDraw(canvas, kSlotDisabled) || painted;
    }
    if (!painted)
        PaintPlain();
    canvas->SetFont(font);
    DrawText(canvas);
}

void THVPanel::DrawText(TCanvas* canvas)
{
    if (text_.empty())
        return;
    const int h = canvas->TextHeight(text_);
    int w = canvas->TextWidth(text_);
    canvas->Brush()->SetStyle(bsClear);
    const bool pressed = state_ == 2;
    const std::size_t firstBreak = text_.find('\n');
    if (firstBreak != std::string::npos) {
        // A line feed that ends the text adds no line unless it is the only one.
        int lines = 2;
        for (std::size_t i = firstBreak + 1; i + 1 < text_.size(); ++i)
            if (text_[i] == '\n')
                ++lines;
        int x = textMarginX_, y = textMarginY_;
        if (pressed) {
            x += textMoveX_;
            y += textMoveY_;
        }
        RECT r{x, (Height() - lines * h) / 2 + y - 1, x + Width() - 3, (Height() + lines * h) / 2 + y + 1};
        ::DrawText(canvas->Handle(), text_.c_str(), int(text_.size()), &r, DT_CENTER | DT_WORDBREAK);
        return;
    }
    std::string shown = text_;
    bool cut = false;
    while (w + textMarginX_ >= Width() - 3 && shown.size() > 1) {
        shown.pop_back();
        w = canvas->TextWidth(shown + "..");
        cut = true;
    }
    if (cut)
        shown += "..";
    int x;
    if (textMarginOn_)
        x = 0;
    else if (Alignment() == taLeftJustify)
        x = 2;
    else if (Alignment() == taRightJustify)
        x = Width() - w - 2;
    else
        x = (Width() - w) / 2;
    x += textMarginX_;
    int y = (Height() - h) / 2 + textMarginY_;
    if (pressed) {
        x += textMoveX_;
        y += textMoveY_;
    }
    canvas->TextOut(x, y, shown);
}
