#pragma once
// The pixels of a class-library bitmap as a Qt image, for the dialogs that show or print one.
// GUI thread only.
#include <QImage>

#include "platform/drawing/TBitmap.h"

// A Format_RGB32 copy of bitmap's pixels (top row first); a null image for an empty bitmap or
// one whose pixels cannot be read.
[[nodiscard]] QImage BitmapToQImage(TBitmap& bitmap);
