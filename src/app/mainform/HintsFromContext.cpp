#include "app/mainform/HintsFromContext.h"

#include "config/TDVContext.h"
#include "platform/ui/TControl.h"
#include "platform/ui/TWinControl.h"

#include <algorithm>
#include <string>

void SetHintsFromContext(TControl* control, TDVContext* context)
{
    // An unnamed control would leave the "#" unfilled; the list's default element stands for it,
    // as for a name without an entry.
    const std::string& name = control->Name();
    std::string text = name.empty() ? context->GetValueText("Hints[]") : context->GetValueTextByID("Hints[#]", name);
    std::replace(text.begin(), text.end(), '|', '\n');
    control->SetHint(text);
    control->SetShowHint(!text.empty());
    if (auto* windowed = dynamic_cast<TWinControl*>(control))
        for (int i = 0; i < windowed->ControlCount(); ++i)
            SetHintsFromContext(windowed->Controls(i), context);
}
