#pragma once
// Truevision TGA: colour-mapped, true-colour and grey images, uncompressed or run-length encoded,
// 8, 15, 16, 24 and 32 bits per pixel (32 bits keep their fourth byte as the alpha channel).
#include "image/PixImage.h"

class PixImageTGA : public PixImage {
public:
    PixImageTGA() : PixImage(PIX_FORMAT_TGA) {}
    // Decodes from the stream's position. False with the error text set (a file cut short is
    // "corrupted TGA"); never throws.
    bool Decode(PixFile* stream);
};
