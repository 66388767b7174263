#pragma once
// For the application's windows only (they are Qt widgets): what a Qt key event carries, in the
// terms of the key mapping (VirtualKeys.h). GUI thread.
#include "platform/VirtualKeys.h"

class QKeyEvent;

// The press or release, the auto-repeat mark, Qt's key and keypad mark, Shift, Alt and Ctrl, and
// the native keycode and keysym (0 where the platform gives none, as offscreen).
[[nodiscard]] TKeyEventData KeyEventDataFromQt(const QKeyEvent& event);
