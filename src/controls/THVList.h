#pragma once
// The skinned list of text items: one cell per item, stacked (or side by side when Horizontal),
// each showing the picture of the item's state (idle, hovered, selected, pressed, or the whole
// list disabled) with the item's text over it in that state's font. With AutoWidth the cells
// follow the longest text and the pictures are refitted to that width. A click selects the item
// under the pointer and calls OnChange.
//
// Thread: GUI thread only. Ownership: pictures, fonts, Items and the back buffer belong to the
// list; font setters and SetItems copy. Failure: a picture property throws Exception
// "File not found : <name>" or "Error loading : <name>" and then reads as an empty name; a layout
// with AutoWidth reloads the pictures from their files and throws as the picture loader does when
// one has gone. Painting never loads files and never throws for missing pictures.
#include <string>

#include "controls/TNotifyStringList.h"
#include "platform/ui/MouseTracking.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TFont.h"
#include "platform/ui/TPanel.h"
#include "platform/drawing/TPicture.h"

class TStringList;

class THVList : public TPanel {
public:
    explicit THVList(TControl* owner);
    ~THVList() override;

    [[nodiscard]] const std::string& PicOnDisabled() const { return fileDisabled_; }
    void SetPicOnDisabled(const std::string& name);
    [[nodiscard]] const std::string& PicOnSelected() const { return fileSelected_; }
    void SetPicOnSelected(const std::string& name);
    [[nodiscard]] const std::string& PicOnMouseMove() const { return fileMouseMove_; }
    void SetPicOnMouseMove(const std::string& name);
    [[nodiscard]] const std::string& PicOnMouseDown() const { return fileMouseDown_; }
    void SetPicOnMouseDown(const std::string& name);
    [[nodiscard]] const std::string& PicOnIdle() const { return fileIdle_; }
    void SetPicOnIdle(const std::string& name);

    [[nodiscard]] int GetTextMarginX() const { return marginX_; }
    void SetTextMarginX(int value);
    [[nodiscard]] int MinAutoWidth() const { return minAutoWidth_; }
    void SetMinAutoWidth(int value);
    [[nodiscard]] bool AutoWidth() const { return autoWidth_; }
    void SetAutoWidth(bool value);
    [[nodiscard]] int GetTextMoveX() const { return moveX_; }
    void SetTextMoveX(int value);
    [[nodiscard]] int GetTextMoveY() const { return moveY_; }
    void SetTextMoveY(int value);
    [[nodiscard]] int GetTextMarginY() const { return marginY_; }
    void SetTextMarginY(int value);
    [[nodiscard]] bool MarginOn() const { return marginOn_; }
    void SetTextMarginOn(bool value);
    [[nodiscard]] bool Horizontal() const { return horizontal_; }
    void SetHorizontal(bool value);

    [[nodiscard]] TFont* FontOnDisabled() { return &fontOnDisabled_; }
    void SetFontOnDisabled(const TFont* font);
    [[nodiscard]] TFont* FontOnSelected() { return &fontOnSelected_; }
    void SetFontOnSelected(const TFont* font);
    [[nodiscard]] TFont* FontOnMouseMove() { return &fontOnMouseMove_; }
    void SetFontOnMouseMove(const TFont* font);
    [[nodiscard]] TFont* FontOnMouseDown() { return &fontOnMouseDown_; }
    void SetFontOnMouseDown(const TFont* font);
    [[nodiscard]] TFont* FontOnIdle() { return &fontOnIdle_; }
    // Copies the font into all five fonts.
    void SetFontOnIdle(const TFont* font);

    // The list's own items; every change lays the list out again and repaints.
    [[nodiscard]] TNotifyStringList* Items() { return &items_; }
    void SetItems(const TStringList* items);
    void SetItems(const TNotifyStringList* items);
    // Stored as given (no range check, no OnChange); -1 selects nothing.
    [[nodiscard]] int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);

    [[nodiscard]] int CellWidth() const { return cellWidth_; }
    [[nodiscard]] int CellHeight() const { return cellHeight_; }
    [[nodiscard]] int AutoCellWidth() const { return autoCellWidth_; }
    [[nodiscard]] int PressedItem() const { return pressedItem_; }
    [[nodiscard]] int HoveredItem() const { return hoveredItem_; }

    // Sizes the control to its cells and refits the pictures to the automatic width, reloading
    // them from their files.
    void SetSize();

    // Every call: ends loading, arms hover tracking, makes the fonts antialiased and repaints.
    void Loaded() override;

    TNotifyEvent OnChange;

protected:
    void Dispatch(TMessage& message) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void Click() override;

private:
    struct PictureSlot {
        std::string* file;
        TPicture* picture;
        TBitmap* natural;
    };

    void Draw(TMessage& message);
    void MEnter(TMessage& message);
    void MLeave(TMessage& message);
    void MEraseBackground(TMessage& message);
    void Track(DWORD flags);
    void OnItemsChange();
    void Layout(bool fromFiles);
    void EnsureBackBuffer();
    void LoadPicture(TPicture& picture, TBitmap& natural, const std::string& name);
    void SetCellFromIdleWhenUnset();
    [[nodiscard]] int ItemAt(int x, int y) const;
    [[nodiscard]] static bool HasImage(const TPicture& picture);
    static void Refit(TBitmap* bitmap, int width);

    TRACKMOUSEEVENT tracking_;
    std::string fileMouseMove_;
    std::string fileMouseDown_;
    std::string fileIdle_;
    std::string fileDisabled_;
    std::string fileSelected_;
    bool autoWidth_ = false;
    int autoCellWidth_ = 0;
    TPicture picMouseMove_;
    TPicture picMouseDown_;
    TPicture picIdle_;
    TPicture picSelected_;
    TPicture picDisabled_;
    // The pictures as their files gave them, for refitting without reading the files again.
    TBitmap naturalMouseMove_;
    TBitmap naturalMouseDown_;
    TBitmap naturalIdle_;
    TBitmap naturalSelected_;
    TBitmap naturalDisabled_;
    int marginX_ = 0;
    int moveX_ = 0;
    int minAutoWidth_ = 10;
    int moveY_ = 0;
    int marginY_ = 0;
    bool marginOn_ = false;
    bool horizontal_ = false;
    TFont fontOnIdle_;
    TFont fontOnDisabled_;
    TFont fontOnMouseMove_;
    TFont fontOnMouseDown_;
    TFont fontOnSelected_;
    TNotifyStringList items_;
    TBitmap backBuffer_;
    bool backBufferMade_ = false;
    int itemIndex_ = -1;
    int pressedItem_ = -1;
    int hoveredItem_ = -1;
    int cellWidth_ = 0;
    int cellHeight_ = 0;
};
