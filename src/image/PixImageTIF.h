#pragma once
// TIFF through libtiff, reading over the PixFile stream. Colour files (RGB, YCbCr, CMYK, LogLuv)
// go through libtiff's RGBA reader and come out with straight alpha; bilevel, grey, palette and
// CIE L*a*b* files are read strip by strip or tile by tile and get the orientation tag applied.
// libtiff prints nothing: its messages land in the error text, and a failed decode ends with
// the decoder's own text.
#include "image/PixImage.h"

#include <cstdint>

struct tiff;

class PixImageTIF : public PixImage {
public:
    PixImageTIF() : PixImage(PIX_FORMAT_TIF) {}
    ~PixImageTIF() override;

    // Decodes the directory given by the info record's frame number (0 first) and sets the
    // number of frames to the number of directories. False with the error text set; the libtiff
    // handle is closed on every path.
    bool Decode(PixFile* stream);

private:
    struct Tags;
    bool DecodeOpen(PixFile* stream);
    bool ReadColour(const Tags& t);
    bool ReadStrips(const Tags& t);
    void SetTiffPalette(const Tags& t);
    void Close();

    tiff* handle_ = nullptr;
};
