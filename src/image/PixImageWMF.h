#pragma once
// Metafiles: a placeable Windows metafile or an enhanced metafile, played at the screen's 96 dots
// per inch into a bitmap whose pixels become a 24-bit image. Pictures larger than 4000 pixels
// either way are scaled down, keeping their proportions.
#include "image/PixImage.h"

class PixImageWMF : public PixImage {
public:
    PixImageWMF() : PixImage(PIX_FORMAT_WMF) {}
    // Decodes from the stream's position; a non-zero forced width or height replaces the
    // picture's own. False with "corrupted WMF" (neither kind of metafile) or "empty WMF" in the
    // error text, or without text when the bitmap cannot be made.
    bool Decode(PixFile* stream, std::int32_t forcedWidth = 0, std::int32_t forcedHeight = 0);
};
