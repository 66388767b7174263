#pragma once
// ZSoft PCX, run-length encoded: 1, 2, 4 and 8 bits in one plane, up to four planes of 1 bit,
// three planes of 8 bits (RGB) and four (RGB with alpha).
#include "image/PixImage.h"

class PixImagePCX : public PixImage {
public:
    PixImagePCX() : PixImage(PIX_FORMAT_PCX) {}
    // Decodes from the stream's position. False with the error text set; never throws.
    bool Decode(PixFile* stream);
};
