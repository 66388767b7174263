#pragma once
// The skinned push button, toggle button and text label: one of five pictures by state (idle,
// mouse over, pressed, checked, disabled) with its Text written over it in the font of that
// state. It keeps no toggle logic: the program sets Checked.
//
// Thread: GUI thread only. Ownership: the pictures and fonts belong to the panel; font setters
// copy the given font; BackgroundImage is borrowed. Failure: a picture property throws Exception
// "File not found : <name>" or "Error loading : <name>" and then reads as an empty name; nothing
// else throws.
#include <memory>
#include <string>

#include "platform/ui/MouseTracking.h"
#include "platform/drawing/TFont.h"
#include "platform/ui/TPanel.h"

class PixImage;
class TCanvas;
class TImage;
class TPicture;

class THVPanel : public TPanel {
public:
    // Picture slots, also the state numbers 0 to 3.
    static constexpr int kSlotIdle = 0;
    static constexpr int kSlotMouseMove = 1;
    static constexpr int kSlotMouseDown = 2;
    static constexpr int kSlotChecked = 3;
    static constexpr int kSlotDisabled = 4;
    static constexpr int kSlotCount = 5;

    explicit THVPanel(TControl* owner);
    ~THVPanel() override;

    [[nodiscard]] TImage* BackgroundImage() const { return backgroundImage_; }
    void SetBackgroundImage(TImage* image) { backgroundImage_ = image; }
    [[nodiscard]] TColor BkColor() const { return bkColor_; }
    void SetBkColor(TColor color);

    [[nodiscard]] const std::string& PicOnDisabled() const { return fileDisabled_; }
    void SetPicOnDisabled(const std::string& name);
    [[nodiscard]] const std::string& PicOnChecked() const { return fileChecked_; }
    void SetPicOnChecked(const std::string& name);
    [[nodiscard]] const std::string& PicOnMouseMove() const { return fileMouseMove_; }
    void SetPicOnMouseMove(const std::string& name);
    [[nodiscard]] const std::string& PicOnMouseDown() const { return fileMouseDown_; }
    void SetPicOnMouseDown(const std::string& name);
    [[nodiscard]] const std::string& PicOnIdle() const { return fileIdle_; }
    void SetPicOnIdle(const std::string& name);

    [[nodiscard]] const std::string& Text() const { return text_; }
    void SetText(const std::string& text);
    [[nodiscard]] int TextMarginX() const { return textMarginX_; }
    void SetTextMarginX(int value);
    [[nodiscard]] int TextMoveX() const { return textMoveX_; }
    void SetTextMoveX(int value);
    [[nodiscard]] int TextMoveY() const { return textMoveY_; }
    void SetTextMoveY(int value);
    [[nodiscard]] int TextMarginY() const { return textMarginY_; }
    void SetTextMarginY(int value);
    [[nodiscard]] bool TextMarginOn() const { return textMarginOn_; }
    void SetTextMarginOn(bool value);

    // The panel's own fonts; the setters copy the given font and make the copy antialiased.
    [[nodiscard]] TFont* FontOnDisabled() { return &fontOnDisabled_; }
    void SetFontOnDisabled(const TFont* font);
    [[nodiscard]] TFont* FontOnChecked() { return &fontOnChecked_; }
    void SetFontOnChecked(const TFont* font);
    [[nodiscard]] TFont* FontOnMouseMove() { return &fontOnMouseMove_; }
    void SetFontOnMouseMove(const TFont* font);
    [[nodiscard]] TFont* FontOnMouseDown() { return &fontOnMouseDown_; }
    void SetFontOnMouseDown(const TFont* font);
    [[nodiscard]] TFont* FontOnIdle() { return &fontOnIdle_; }
    // Copies the font into all five fonts.
    void SetFontOnIdle(const TFont* font);

    [[nodiscard]] bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    // Pictures set from now on are loaded as alpha images (drawn blended) instead of bitmaps.
    [[nodiscard]] bool UseAlpha() const { return useAlpha_; }
    void SetUseAlpha(bool useAlpha) { useAlpha_ = useAlpha; }

    // -1 before the first Loaded, else 0 idle, 1 mouse over, 2 pressed, 3 checked.
    [[nodiscard]] int State() const { return state_; }

    // Empties the slot, then loads file into it: kind 1 as an alpha image, kind 0 as a bitmap
    // picture. A load that throws, or a file that does not decode (Exception "Cannot decode
    // <file>"), leaves the slot empty and the exception goes on.
    void SetImage(int kind, int slot, const std::string& file);
    void FreeImage(int slot);
    // Draws the slot's picture at (0, 0) at its natural size; false when the slot is empty.
    bool ImageDraw(TCanvas* canvas, int slot);
    [[nodiscard]] bool SlotFilled(int slot) const;

    // First call only: ends loading, arms hover tracking and makes the fonts antialiased.
    void Loaded() override;

protected:
    void Dispatch(TMessage& message) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void Click() override;

private:
    struct Slot;

    void Draw(TMessage& message);
    void MEnter(TMessage& message);
    void MLeave(TMessage& message);
    void MEraseBackground(TMessage& message);
    void Track(DWORD flags);
    void PaintPlain();
    void SetPicture(std::string& stored, int slot, const std::string& name);
    void DrawText(TCanvas* canvas);

    TRACKMOUSEEVENT tracking_;
    std::string fileMouseMove_;
    std::string fileMouseDown_;
    std::string fileIdle_;
    std::string fileDisabled_;
    std::string fileChecked_;
    TColor bkColor_ = clBlack;
    std::string text_;
    int textMarginX_ = 0;
    int textMoveX_ = 0;
    int textMoveY_ = 0;
    int textMarginY_ = 0;
    bool textMarginOn_ = false;
    TFont fontOnIdle_;
    TFont fontOnDisabled_;
    TFont fontOnMouseMove_;
    TFont fontOnMouseDown_;
    TFont fontOnChecked_;
    bool checked_ = false;
    bool useAlpha_ = false;
    std::unique_ptr<Slot[]> slots_;
    int state_ = -1;
    TImage* backgroundImage_ = nullptr;
};
