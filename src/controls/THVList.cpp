#include "controls/THVList.h"

#include <algorithm>

#include "controls/HVComponentUtils.h"
#include "platform/drawing/TCanvas.h"
#include "platform/system/TStringList.h"
#include "sprite/PicUtils.h"

THVList::THVList(TControl* owner) : TPanel(owner)
{
    SetColor(clNone);
    SetBevelOuter(bvNone);
    SetCaption("");
    items_.OnChange = [this] { OnItemsChange(); };
}

THVList::~THVList() { items_.OnChange = nullptr; }

bool THVList::HasImage(const TPicture& picture) { return picture.Width() > 0 && picture.Height() > 0; }

// Pictures ---------------------------------------------------------------------------------------------

void THVList::LoadPicture(TPicture& picture, TBitmap& natural, const std::string& name)
{
    LoadPictureFile(&picture, name);
    natural.Assign(picture.Bitmap());
}

void THVList::SetCellFromIdleWhenUnset()
{
    if (cellWidth_ != 0)
        return;
    cellWidth_ = picIdle_.Width();
    cellHeight_ = picIdle_.Height();
    SetSize();
}

void THVList::SetPicOnIdle(const std::string& name)
{
    if (SetPictureFile(fileIdle_, name, [&] {
            LoadPicture(picIdle_, naturalIdle_, name);
            cellWidth_ = picIdle_.Width();
            cellHeight_ = picIdle_.Height();
            SetSize();
        }))
        Repaint();
}

void THVList::SetPicOnMouseMove(const std::string& name)
{
    SetPictureFile(fileMouseMove_, name, [&] {
        LoadPicture(picMouseMove_, naturalMouseMove_, name);
        SetCellFromIdleWhenUnset();
    });
}

void THVList::SetPicOnMouseDown(const std::string& name)
{
    SetPictureFile(fileMouseDown_, name, [&] {
        LoadPicture(picMouseDown_, naturalMouseDown_, name);
        SetCellFromIdleWhenUnset();
    });
}

void THVList::SetPicOnDisabled(const std::string& name)
{
    SetPictureFile(fileDisabled_, name, [&] {
        LoadPicture(picDisabled_, naturalDisabled_, name);
        SetCellFromIdleWhenUnset();
    });
}

void THVList::SetPicOnSelected(const std::string& name)
{
    if (SetPictureFile(fileSelected_, name, [&] {
            LoadPicture(picSelected_, naturalSelected_, name);
            SetCellFromIdleWhenUnset();
        }))
        Repaint();
}

// Numbers, fonts and items -------------------------------------------------------------------------

void THVList::SetTextMarginX(int value)
{
    if (value == marginX_)
        return;
    marginX_ = value;
    if (marginOn_)
        Repaint();
}

void THVList::SetTextMoveX(int value)
{
    if (value == moveX_)
        return;
    moveX_ = value;
    if (marginOn_)
        Repaint();
}

void THVList::SetTextMoveY(int value)
{
    if (value == moveY_)
        return;
    moveY_ = value;
    Repaint();
}

void THVList::SetTextMarginY(int value)
{
    if (value == marginY_)
        return;
    marginY_ = value;
    Repaint();
}

void THVList::SetTextMarginOn(bool value)
{
    if (value == marginOn_)
        return;
    marginOn_ = value;
    Repaint();
}

void THVList::SetMinAutoWidth(int value)
{
    if (value == minAutoWidth_)
        return;
    minAutoWidth_ = value;
    SetSize();
    Repaint();
}

void THVList::SetAutoWidth(bool value)
{
    if (value == autoWidth_)
        return;
    autoWidth_ = value;
    Repaint();
}

void THVList::SetHorizontal(bool value)
{
    if (value == horizontal_)
        return;
    horizontal_ = value;
    SetSize();
    Repaint();
}

void THVList::SetFontOnIdle(const TFont* font)
{
    for (TFont* target : {&fontOnIdle_, &fontOnDisabled_, &fontOnMouseMove_, &fontOnMouseDown_, &fontOnSelected_})
        AssignFontAntialiased(*target, font);
    Repaint();
}

void THVList::SetFontOnDisabled(const TFont* font) { AssignFontAntialiased(fontOnDisabled_, font); }

void THVList::SetFontOnMouseMove(const TFont* font) { AssignFontAntialiased(fontOnMouseMove_, font); }

void THVList::SetFontOnMouseDown(const TFont* font) { AssignFontAntialiased(fontOnMouseDown_, font); }

void THVList::SetFontOnSelected(const TFont* font)
{
    AssignFontAntialiased(fontOnSelected_, font);
    Repaint();
}

void THVList::SetItems(const TStringList* items)
{
    if (items)
        items_.Assign(*items);
    else
        items_.Clear();
    Repaint();
}

void THVList::SetItems(const TNotifyStringList* items)
{
    if (items)
        items_.Assign(*items);
    else
        items_.Clear();
    Repaint();
}

void THVList::SetItemIndex(int index)
{
    if (index == itemIndex_)
        return;
    itemIndex_ = index;
    Repaint();
}

void THVList::OnItemsChange()
{
    if (itemIndex_ >= items_.Count()) {
        itemIndex_ = -1;
        if (OnChange)
            OnChange(this);
    }
    SetSize();
    Repaint();
}

// Layout ------------------------------------------------------------------------------------------------

void THVList::EnsureBackBuffer()
{
    if (backBufferMade_)
        return;
    // Filled at once, so a cell without a picture never shows stray pixels.
    backBuffer_.Canvas()->Brush()->SetColor(Color());
    backBuffer_.SetSize(std::max(Width(), 1), std::max(Height(), 1));
    backBuffer_.Canvas()->FillRect(TRect(0, 0, backBuffer_.Width(), backBuffer_.Height()));
    backBufferMade_ = true;
}

void THVList::SetSize() { Layout(true); }

void THVList::Layout(bool fromFiles)
{
    EnsureBackBuffer();
    const int count = items_.Count();
    if (count > 0 && cellWidth_ != 0 && cellHeight_ != 0) {
        if (autoWidth_) {
            TCanvas* canvas = ControlCanvas();
            canvas->SetFont(&fontOnIdle_);
            std::size_t longest = 0;
            for (int i = 1; i < count; ++i)
                if (items_[i].size() > items_[int(longest)].size())
                    longest = std::size_t(i);
            int width = canvas->TextWidth(items_[int(longest)] + "HH") + moveX_;
            width = std::max(width, 6);
            width = std::max(width, minAutoWidth_);
            autoCellWidth_ = width;
            if (horizontal_)
                SetBounds(Left(), Top(), count * width, cellHeight_);
            else
                SetBounds(Left(), Top(), width, count * cellHeight_);
        } else {
            if (horizontal_)
                SetBounds(Left(), Top(), count * cellWidth_, cellHeight_);
            else
                SetBounds(Left(), Top(), cellWidth_, count * cellHeight_);
            autoCellWidth_ = 0;
        }
        backBuffer_.Canvas()->Brush()->SetColor(Color());
        backBuffer_.SetSize(std::max(Width(), 1), std::max(Height(), 1));
    }
    const int width = autoCellWidth_;
    if (width == 0)
        return;
    const PictureSlot slots[] = {{&fileIdle_, &picIdle_, &naturalIdle_},
                                 {&fileMouseDown_, &picMouseDown_, &naturalMouseDown_},
                                 {&fileMouseMove_, &picMouseMove_, &naturalMouseMove_},
                                 {&fileDisabled_, &picDisabled_, &naturalDisabled_},
                                 {&fileSelected_, &picSelected_, &naturalSelected_}};
    for (const PictureSlot& slot : slots) {
        if (slot.file->empty())
            continue;
        if (fromFiles) {
            LoadImageToPicture(slot.picture, *slot.file);
            slot.natural->Assign(slot.picture->Bitmap());
        } else {
            slot.picture->Bitmap()->Assign(slot.natural);
        }
        Refit(slot.picture->Bitmap(), width);
    }
    cellWidth_ = width;
}

// Keeps the left part and the right ten columns when narrowing; when widening, moves the right
// fifth to the new right edge and repeats the column before it.
void THVList::Refit(TBitmap* bitmap, int width)
{
    const int w = bitmap->Width(), h = bitmap->Height();
    if (w <= 0 || h <= 0)
        return;
    if (w > width) {
        HDC dc = bitmap->Canvas()->Handle();
        BitBlt(dc, width - 10, 0, 10, h, dc, w - 10, 0, SRCCOPY);
        bitmap->SetWidth(width);
        return;
    }
    const int fifth = w / 5;
    bitmap->SetWidth(width);
    if (fifth == 0)
        return;
    HDC dc = bitmap->Canvas()->Handle();
    for (int j = 0; j < width - w; ++j)
        BitBlt(dc, w - fifth + j + 1, 0, fifth, h, dc, w - fifth + j, 0, SRCCOPY);
}

// Drawing -----------------------------------------------------------------------------------------------

void THVList::Draw(TMessage&)
{
    EnsureBackBuffer();
    TCanvas* back = backBuffer_.Canvas();
    const int count = items_.Count();
    if (count == 0 || fileIdle_.empty())
        TPanel::Paint();
    if (autoWidth_) {
        bool differs = false;
        for (const TPicture* picture : {&picIdle_, &picMouseDown_, &picMouseMove_, &picDisabled_, &picSelected_})
            if (HasImage(*picture) && picture->Width() != autoCellWidth_)
                differs = true;
        if (differs)
            Layout(false);
    }
    for (int i = 0; i < count; ++i) {
        TPicture* picture = &picIdle_;
        TFont* font = &fontOnIdle_;
        const bool pressed = i == pressedItem_;
        if (Enabled() || !HasImage(picDisabled_)) {
            if (i == hoveredItem_) {
                picture = &picMouseMove_;
                font = &fontOnMouseMove_;
            }
            if (i == itemIndex_) {
                picture = &picSelected_;
                font = &fontOnSelected_;
            }
            if (pressed) {
                picture = &picMouseDown_;
                font = &fontOnMouseDown_;
            }
        } else {
            picture = &picDisabled_;
            font = &fontOnDisabled_;
        }
        back->SetFont(font);
        back->Brush()->SetStyle(bsClear);
        const std::string& text = items_[i];
        const int h = back->TextHeight("H");
        int y = (cellHeight_ - h) / 2 + marginY_;
        int x;
        if (marginOn_) {
            x = 0;
        } else {
            const int w = back->TextWidth(text);
            x = Alignment() == taLeftJustify ? 2 : Alignment() == taRightJustify ? cellWidth_ - w - 2 : (cellWidth_ - w) / 2;
        }
        x += marginX_;
        if (pressed) {
            x += moveX_;
            y += moveY_;
        }
        const int cellX = horizontal_ ? i * cellWidth_ : 0;
        const int cellY = horizontal_ ? 0 : i * cellHeight_;
        if (HasImage(*picture))
            back->Draw(cellX, cellY, picture->Bitmap());
        back->TextOut(cellX + x, cellY + y, text);
    }
    const int width = horizontal_ ? count * cellWidth_ : cellWidth_;
    const int height = horizontal_ ? cellHeight_ : count * cellHeight_;
    if (width > 0 && height > 0)
        BitBlt(ControlCanvas()->Handle(), 0, 0, width, height, back->Handle(), 0, 0, SRCCOPY);
}

void THVList::MEraseBackground(TMessage& message)
{
    if (items_.Count() == 0 || fileIdle_.empty())
        TPanel::Dispatch(message);
    else
        message.Result = 1;
}

// Mouse and hover ----------------------------------------------------------------------------------

int THVList::ItemAt(int x, int y) const
{
    const int cell = horizontal_ ? cellWidth_ : cellHeight_;
    if (cell <= 0)
        return -1;
    const int index = (horizontal_ ? x : y) / cell;
    // A press past the last cell selects nothing.
    return index < items_.Count() ? index : -1;
}

void THVList::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft && HasImage(picMouseDown_) && items_.Count() > 0 && x > 0 && x < ClientWidth() && y > 0 &&
        y < ClientHeight()) {
        const int index = ItemAt(x, y);
        if (index >= 0) {
            pressedItem_ = index;
            Repaint();
        }
    }
    TPanel::MouseDown(button, shift, x, y);
}

void THVList::Click()
{
    itemIndex_ = pressedItem_;
    pressedItem_ = -1;
    if (OnChange)
        OnChange(this);
    if (items_.Count() > 0)
        Repaint();
    TPanel::Click();
}

void THVList::MouseUp(TMouseButton button, TShiftState shift, int x, int y) { TPanel::MouseUp(button, shift, x, y); }

void THVList::MouseMove(TShiftState shift, int x, int y)
{
    if (HasImage(picMouseMove_) && x > 0 && x < ClientWidth() && y > 0 && y < ClientHeight() &&
        !InShift(shift, ssLeft)) {
        if (items_.Count() > 0) {
            int index = ItemAt(x, y);
            if (index == pressedItem_)
                index = -1;
            if (index != hoveredItem_) {
                hoveredItem_ = index;
                Repaint();
            }
        }
        Track(TME_LEAVE);
    }
    TPanel::MouseMove(shift, x, y);
}

void THVList::MEnter(TMessage&) { Track(TME_LEAVE); }

void THVList::MLeave(TMessage&)
{
    hoveredItem_ = -1;
    Repaint();
    Track(TME_HOVER);
}

void THVList::Track(DWORD flags)
{
    tracking_.cbSize = sizeof(TRACKMOUSEEVENT);
    tracking_.dwFlags = flags;
    tracking_.hwndTrack = Handle();
    tracking_.dwHoverTime = 10;
    TrackMouseEvent(&tracking_);
}

void THVList::Dispatch(TMessage& message)
{
    switch (message.Msg) {
    case WM_PAINT: Draw(message); break;
    case WM_ERASEBKGND: MEraseBackground(message); break;
    case WM_MOUSEHOVER: MEnter(message); break;
    case WM_MOUSELEAVE: MLeave(message); break;
    default: TPanel::Dispatch(message); break;
    }
}

void THVList::Loaded()
{
    TPanel::Loaded();
    Track(TME_HOVER | TME_LEAVE);
    for (TFont* font : {&fontOnIdle_, &fontOnSelected_, &fontOnDisabled_, &fontOnMouseMove_, &fontOnMouseDown_})
        SetFontAntialiased(font);
    Repaint();
}
