#pragma once
// Windows bitmaps: files with a "BM" header and headerless DIBs (a stream that starts with the
// information header). Every header kind, 1 to 32 bits, bit fields, RLE4 and RLE8.
#include "image/PixImage.h"

class PixImageBMP : public PixImage {
public:
    PixImageBMP() : PixImage(PIX_FORMAT_BMP) {}
    // Decodes from the stream's position. False with the error text set; a file cut short keeps
    // what was read (missing rows are colour 0).
    bool Decode(PixFile* stream);

private:
    // Puts rows read in file order the right way up; only the first dataBytes of the rows hold
    // data, the rest zeros, and only that part is moved.
    void TurnTopDown(std::uint64_t dataBytes);
    void DecodeRle8(PixFile* stream, bool topDown);
    void DecodeRle4(PixFile* stream, bool topDown);
};
