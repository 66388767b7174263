#pragma once
// Icon and cursor files: the frame given by the image's frame number, its AND mask turned into
// alpha, a transparent colour or a transparent palette index.
#include "image/PixImage.h"

class PixImageICO : public PixImage {
public:
    PixImageICO() : PixImage(PIX_FORMAT_ICO) {}
    // Decodes from the stream's position; false without an error text when it is no icon.
    bool Decode(PixFile* stream);

private:
    void ApplyMask(const std::uint8_t* mask, std::uint32_t maskStride, bool hadAlpha);
};
