#include "app/keyboard/TKBColSch.h"

#include "app/keyboard/TKBButton.h"
#include "config/TDVContext.h"

const TKBColSch::TStateColors& TKBColSch::ForState(const std::string& state) const
{
    if (state == TKBButton::StateMouse)
        return states[1];
    if (state == TKBButton::StateInitial)
        return states[0];
    return states[2];
}

TColor TKBColSch::ReadColor(TDVContext* context, const std::string& path)
{
    TColor color = 0;
    for (int i = 1; i <= 3; ++i)
        color |= (context->GetIntegerAt(path + "[#]", i) & 0xFF) << (8 * (i - 1));
    return color;
}

TKBColSch TKBColSch::FromContext(TDVContext* scheme)
{
    TKBColSch result;
    const char* const names[] = {TKBButton::StateInitial, TKBButton::StateMouse, TKBButton::StatePressed};
    for (std::size_t i = 0; i < result.states.size(); ++i) {
        TDVContext* s = scheme->GetContext(names[i]);
        TStateColors& c = result.states[i];
        c.fill = ReadColor(s, "fill_color");
        c.edge = ReadColor(s, "edge_color");
        c.caption = ReadColor(s, "caption_color");
        c.edgeWidth = s->GetInteger("edge_width");
    }
    return result;
}
