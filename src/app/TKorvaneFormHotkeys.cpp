// The hot-key table of the main window.
#include "app/TKorvaneForm.h"

bool TKorvaneForm::HotkeyCommand(std::uint16_t /*key*/, TShiftState /*shift*/)
{
    return false;
}
