#include "image/PixFormats.h"

#include "image/PixImageBMP.h"
#include "image/PixImageGIF.h"
#include "image/PixImageICO.h"
#include "image/PixImageJPG.h"
#include "image/PixImagePCX.h"
#include "image/PixImagePNG.h"
#include "image/PixImageTGA.h"
#include "image/PixImageTIF.h"
#include "image/PixImageWMF.h"

#include <cstring>
#include <iterator>

namespace {

template <class Format>
bool Attempt(PixImage& into, PixFile* stream, char* error) {
    Format format;
    format.CopyInfo(into);
    if (format.Decode(stream)) {
        into.Transfer(format);
        return true;
    }
    std::strncpy(error, format.GetLastError(), 255);
    error[255] = '\0';
    return false;
}

// Detection order: BMP, JPEG, ICO, GIF, PNG, TIFF, TGA, PCX, WMF. Formats without a decoder in
// this build simply have no line.
constexpr PixFormats::Entry kFormats[] = {
    {PIX_FORMAT_BMP, &Attempt<PixImageBMP>},
    {PIX_FORMAT_JPG, &Attempt<PixImageJPG>},
    {PIX_FORMAT_ICO, &Attempt<PixImageICO>},
    {PIX_FORMAT_GIF, &Attempt<PixImageGIF>},
    {PIX_FORMAT_PNG, &Attempt<PixImagePNG>},
    {PIX_FORMAT_TIF, &Attempt<PixImageTIF>},
    {PIX_FORMAT_TGA, &Attempt<PixImageTGA>},
    {PIX_FORMAT_PCX, &Attempt<PixImagePCX>},
    {PIX_FORMAT_WMF, &Attempt<PixImageWMF>},
};

}  // namespace

const PixFormats::Entry* PixFormats::Begin() { return std::begin(kFormats); }
const PixFormats::Entry* PixFormats::End() { return std::end(kFormats); }

const PixFormats::Entry* PixFormats::Find(std::uint32_t type) {
    for (const Entry& e : kFormats)
        if (e.type == type) return &e;
    return nullptr;
}
