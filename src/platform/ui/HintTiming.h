#pragma once
// Fly-by hints for the toolkit's own widgets that a window uses directly (edits, lists, grids in
// a dialog): their tool tips keep the application's hint timing, as the window layer's controls
// do, instead of the toolkit's. A hint shows once the pointer has rested on a widget that has one
// (or inside it, on a child without one of its own) for HintPause, or HintShortPause while
// another hint shows, and hides after HintHidePause; a long HintPause keeps hints away.
//
// Thread: GUI thread. Ownership: the timing is a child of the window and goes with it; it also
// covers widgets added to the window later. Calling it twice on one window changes nothing.
class QWidget;

void FollowApplicationHintTiming(QWidget* window);
