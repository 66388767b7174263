#pragma once
// PNG through libpng. 8-bit RGBA and 16-bit grey-alpha files keep their alpha as the image's
// alpha channel; other files with transparency are composed over their background colour (or
// grey 192); palette transparency goes into the palette's reserved bytes or the transparent index.
#include "image/PixImage.h"

class PixImagePNG : public PixImage {
public:
    PixImagePNG() : PixImage(PIX_FORMAT_PNG) {}
    // Decodes from the stream's position. False with libpng's message (or "Read Error" for a file
    // cut short) in the error text.
    bool Decode(PixFile* stream);

private:
    struct ReadState;
    static void OnError(struct png_struct_def* png, const char* message);
    static void OnWarning(struct png_struct_def* png, const char* message);
    static void OnRead(struct png_struct_def* png, unsigned char* data, std::size_t length);
    void ReadRows(ReadState& st);
};
