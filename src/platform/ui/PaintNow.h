#pragma once
// Puts a window's current look on the screen at once, for a window that must show progress while
// its thread works: nothing here runs the event loop, so no input, timer or posted message reaches
// the half-done work. Where the window system has already reported the window exposed, the
// toolkit paints it and hands the picture to the display. On X11, before that report (which
// arrives only through the event loop), the picture becomes the window's background on the X
// server, which draws it as soon as the window is mapped, whenever that happens; once exposed,
// the toolkit's painting takes over again.
//
// Thread: GUI thread only. A hidden window is left alone; a failure of the display connection
// only leaves the window as the toolkit would have painted it later.
class QWidget;

void PaintNow(QWidget* window);
