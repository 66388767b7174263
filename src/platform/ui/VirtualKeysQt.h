#pragma once
// For the application's windows only (they are Qt widgets): what a Qt key event carries, in the
// terms of the key mapping (VirtualKeys.h). GUI thread.
#include "platform/ui/VirtualKeys.h"

#include <functional>

class QKeyEvent;

// The press or release, the auto-repeat mark, Qt's key and keypad mark, Shift, Alt and Ctrl, and
// the native keycode, keysym and time stamp (0 where the platform gives none, as offscreen).
[[nodiscard]] TKeyEventData KeyEventDataFromQt(const QKeyEvent& event);
// The Shift, Alt and Ctrl the keyboard holds now, asked of the window system (not taken from the
// last key event: the events of a key may have gone to another window).
[[nodiscard]] TShiftState HeldModifiers();
// Stands in for the window system's answer to HeldModifiers (a window system without a keyboard
// answers with the modifiers of the last key press it saw); an empty query restores the window
// system's. Returns the query it replaces.
using THeldModifiersQuery = std::function<TShiftState()>;
THeldModifiersQuery SetHeldModifiersQuery(THeldModifiersQuery query);
