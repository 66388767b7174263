#pragma once
// Which of the two colour-key drawing ways the sprite engine takes: true draws keyed frames with
// DrawTransparentBitmap's monochrome masks, false with TransparentBlt. The application sets it
// once at start-up, before any sprite is drawn (false on this system); GUI thread only.
extern bool Win9xMode;
