#pragma once
// Tells a window of the program each time the window system gives it the keyboard, also where the
// toolkit reports no activation because the window counts as active throughout: when another
// program's grab of the keyboard ends (a window manager holds the keyboard through its key
// bindings, Alt+F4 among them, until their keys are up, so those key-ups go to it and not to the
// window it hands the focus to meanwhile), and when the focus leaves and comes back before the
// toolkit deactivates the window. The window's widget then receives an event of type
// KeyboardTakenEvent(), posted to it. Key-ups may have gone elsewhere since the last key event the
// window saw: a window that follows the held keys asks HeldModifiers() (VirtualKeysQt.h) then.
//
// Reported on X11; on other window systems no event comes. GUI thread only. Installed once on the
// application object (a later call does nothing); does nothing before an application object exists.
#include <QEvent>

[[nodiscard]] QEvent::Type KeyboardTakenEvent();

void InstallKeyboardTakenWatch();
