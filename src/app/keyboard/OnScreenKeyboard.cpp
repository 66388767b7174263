#include "app/keyboard/OnScreenKeyboard.h"

#include "config/TDVContext.h"
#include "platform/system/Exception.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"
#include "platform/system/TStringList.h"
#include "sprite/PicUtils.h"

namespace {

constexpr TColor kCurrentRiffEdge = clRed;
constexpr COLORREF kSkinTransparent = 0xFFFFFF;

} // namespace

void OnScreenKeyboard::LoadLayout(TDVContext* root)
{
    keys_.clear();
    hovered_.clear();
    TStringList names;
    root->EnumListIDs("keyboard.key", names);
    TDVContext* keyboard = root->GetContext("keyboard");
    for (const std::string& name : names.Lines())
        keys_[name] = TKBButton::FromContext(name, keyboard->GetContextByID("key[#]", name));
}

void OnScreenKeyboard::LoadColorSchemes(TDVContext* root)
{
    schemes_.clear();
    TStringList names;
    root->EnumListIDs("color_schemes", names);
    for (const std::string& name : names.Lines())
        schemes_[name] = TKBColSch::FromContext(root->GetContextByID("color_schemes[#]", name));
}

TKBButton* OnScreenKeyboard::Find(const std::string& name)
{
    const auto it = keys_.find(name);
    return it == keys_.end() ? nullptr : &it->second;
}

const TKBButton* OnScreenKeyboard::Find(const std::string& name) const
{
    const auto it = keys_.find(name);
    return it == keys_.end() ? nullptr : &it->second;
}

std::string OnScreenKeyboard::State(const std::string& name) const
{
    const TKBButton* key = Find(name);
    return key ? key->state : std::string();
}

void OnScreenKeyboard::SetState(const std::string& name, const std::string& state)
{
    if (TKBButton* key = Find(name))
        key->state = state;
}

bool OnScreenKeyboard::IsPressed(const std::string& name) const
{
    const TKBButton* key = Find(name);
    return key && key->IsPressed();
}

const TKBColSch& OnScreenKeyboard::Scheme(const std::string& name) const
{
    const auto it = schemes_.find(name);
    return it == schemes_.end() ? defaultScheme_ : it->second;
}

TShiftState OnScreenKeyboard::GetShiftFromModifierKeys() const
{
    TShiftState shift = 0;
    if (IsPressed(ShiftKey))
        shift |= ssShift;
    if (IsPressed(AltKey))
        shift |= ssAlt;
    if (IsPressed(CtrlKey))
        shift |= ssCtrl;
    return shift;
}

void OnScreenKeyboard::SetModifierKeysFromShift(TShiftState shift)
{
    const auto state = [](bool held) { return held ? TKBButton::StatePressed : TKBButton::StateInitial; };
    SetState(ShiftKey, state(InShift(shift, ssShift)));
    SetState(AltKey, state(InShift(shift, ssAlt)));
    SetState(CtrlKey, state(InShift(shift, ssCtrl)));
}

int OnScreenKeyboard::GetBindingSetIndex() const
{
    if (IsPressed(AltKey))
        return 2;
    return IsPressed(ShiftKey) ? 1 : 0;
}

void OnScreenKeyboard::StepBindingSet(int step)
{
    const int t = GetBindingSetIndex() % 3 + step;
    SetState(ShiftKey, t == 1 ? TKBButton::StatePressed : TKBButton::StateInitial);
    SetState(AltKey, t == 2 || t == -1 ? TKBButton::StatePressed : TKBButton::StateInitial);
}

std::string OnScreenKeyboard::KeyAtPoint(const TStringList& names, int x, int y) const
{
    for (const std::string& name : names.Lines())
        if (const TKBButton* key = Find(name); key && key->Contains(x, y))
            return name;
    return {};
}

OnScreenKeyboard::THover OnScreenKeyboard::HoverAt(const TStringList& names, int x, int y)
{
    const std::string under = KeyAtPoint(names, x, y);
    if (!under.empty()) {
        if (under == hovered_)
            return THover::Unchanged;
        if (State(under) == TKBButton::StateInitial)
            SetState(under, TKBButton::StateMouse);
        if (State(hovered_) == TKBButton::StateMouse)
            SetState(hovered_, TKBButton::StateInitial);
        hovered_ = under;
        return THover::Entered;
    }
    if (hovered_.empty())
        return THover::Unchanged;
    if (State(hovered_) == TKBButton::StateMouse)
        SetState(hovered_, TKBButton::StateInitial);
    hovered_.clear();
    return THover::Left;
}

bool OnScreenKeyboard::ResetHover(const TStringList& names)
{
    const bool wasHovered = !hovered_.empty();
    if (wasHovered && names.Count() > 0)
        for (const std::string& name : names.Lines())
            if (TKBButton* key = Find(name); key && !key->IsModifier())
                key->state = TKBButton::StateInitial;
    hovered_.clear();
    return wasHovered;
}

void OnScreenKeyboard::DrawKeys(TCanvas& canvas, const TDrawInput& input) const
{
    if (input.background && !input.background->Empty()) {
        const TRect whole{0, 0, input.background->Width(), input.background->Height()};
        canvas.CopyRect(canvas.ClipRect(), input.background->Canvas(), whole);
    }
    if (input.boundNames == nullptr)
        return;
    for (const std::string& name : input.boundNames->Lines()) {
        const TKBButton* key = Find(name);
        if (key == nullptr)
            continue;
        const std::string riff = input.riffOfKey ? input.riffOfKey(name) : std::string();
        const bool current = !input.currentRiff.empty() && input.currentRiff == riff;
        const TKBColSch* scheme = &defaultScheme_;
        if (input.mode) {
            // An unbound key, or one bound to a riff the mode lacks, reads the riff list's
            // template value.
            try {
                scheme = &Scheme(input.mode->GetStringByID("riff[#].color_scheme", riff));
            } catch (const Exception&) {
                scheme = &defaultScheme_;
            }
        }
        const TKBColSch::TStateColors& colors = scheme->ForState(key->state);
        const int c = current ? 1 : 0;
        canvas.Pen()->SetStyle(psSolid);
        canvas.Pen()->SetColor(current ? kCurrentRiffEdge : colors.edge);
        canvas.Pen()->SetWidth(colors.edgeWidth + c);
        canvas.Brush()->SetColor(colors.fill);
        canvas.Rectangle(key->left - c, key->top - c, key->left + key->width + c, key->top + key->height + c);

        if (input.skinNames && input.skins) {
            const auto& skinNames = input.skinNames->Lines();
            for (std::size_t i = 0; i < skinNames.size() && i < input.skins->size(); ++i)
                if (skinNames[i] == key->skin) {
                    TBitmap* skin = (*input.skins)[i].get();
                    if (skin && !skin->Empty())
                        DrawTransparentBitmap(canvas.Handle(), static_cast<short>(key->left),
                                              static_cast<short>(key->top), skin->Handle(), 0, 0,
                                              static_cast<short>(skin->Width()), static_cast<short>(skin->Height()),
                                              kSkinTransparent);
                    break;
                }
        }

        canvas.Brush()->SetStyle(bsClear);
        canvas.Font()->SetColor(colors.caption);
        canvas.Font()->SetStyle(fsBold);
        const SIZE text = canvas.TextExtent(key->Caption);
        canvas.TextOut(key->left + (key->width - text.cx) / 2, key->top + (key->height - text.cy) / 2, key->Caption);
    }
}
