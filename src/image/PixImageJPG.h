#pragma once
// JPEG through libjpeg(-turbo). Three-component files decode to 24 bits, greyscale to 8 bits
// with a grey palette, Adobe four-component (inverted CMYK) files to 24 bits. The resolution
// comes from the file's Exif block when there is one, else from its JFIF density.
#include "image/PixExifRecord.h"
#include "image/PixImage.h"

#include <memory>

class PixImageJPG : public PixImage {
public:
    class PixExifInfo;  // the Exif reader, PixExifInfo.h
    struct PixFileJpg;  // libjpeg's source manager over a PixFile

    PixImageJPG();
    ~PixImageJPG() override;

    // Decodes from the stream's position. False with libjpeg's message in the error text (or
    // Create's). A file cut short decodes: the missing rows are what libjpeg makes of an early
    // end. The info record's JPEG scale divides the size by 1, 2, 4 or 8 (0 is full size).
    bool Decode(PixFile* stream);

    [[nodiscard]] const PixExifRecord& GetExifInfo() const { return exifInfo_; }

private:
    bool DecodeRows(PixFile* stream, bool haveExif);

    std::unique_ptr<PixExifInfo> exif_;
    PixExifRecord exifInfo_{};
};
