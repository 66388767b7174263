#pragma once
// Hands the keyboard back when a window of the program closes, as desktop toolkits do: the window
// that was active when the closing one was shown (else the closing one's parent window) is
// activated again, provided the closing window had the keyboard. While a modal window is still
// open, it takes the keyboard instead, since it blocks the others. When neither is left (the
// opener closed meanwhile, or no window was active when it was shown), the window open longest
// (the program's main window) takes it. Without a window manager nothing else does this: the X
// server hands the focus to the root window, and keys then go to whatever window happens to lie
// under the pointer.
//
// GUI thread only. Installed once on the application object (a later call does nothing); does
// nothing before an application object exists.
void InstallFocusReturn();
