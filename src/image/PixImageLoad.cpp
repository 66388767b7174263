// Loading PixImage from files and streams, with format detection.
#include "image/PixImage.h"

#include "image/PixFile.h"
#include "image/PixFormats.h"
#include "image/PixIOFile.h"

#include <cstring>

namespace {

constexpr const char* kUnknownFormat = "Decode: Unknown or wrong format";

bool IsFormatType(std::uint32_t type) { return type >= 1 && type < PIX_FORMAT_COUNT; }

}  // namespace

bool PixImage::Load(const char* filename, std::uint32_t type) {
    if (!filename) return false;
    if (IsFormatType(type)) {
        std::FILE* fp = std::fopen(filename, "rb");
        if (!fp) return false;
        const bool ok = Decode(fp, type);
        std::fclose(fp);
        if (ok) return true;
    }
    char saved[256];
    std::memcpy(saved, info.lastError, sizeof saved);

    std::FILE* fp = std::fopen(filename, "rb");
    if (!fp) return false;
    const bool ok = Decode(fp, PIX_FORMAT_UNKNOWN);
    std::fclose(fp);
    // After a typed attempt its own message says more than the detection's.
    if (!ok && type != PIX_FORMAT_UNKNOWN) std::memcpy(info.lastError, saved, sizeof saved);
    return ok;
}

bool PixImage::Decode(std::FILE* handle, std::uint32_t type) {
    if (!handle) return false;
    PixIOFile file(handle);
    return Decode(&file, type);
}

bool PixImage::Decode(PixFile* stream, std::uint32_t type) {
    if (!stream) return false;
    char error[256] = {};
    if (type == PIX_FORMAT_UNKNOWN) {
        const std::int32_t start = stream->Tell();
        for (const PixFormats::Entry* e = PixFormats::Begin(); e != PixFormats::End(); ++e) {
            if (e->attempt(*this, stream, error)) return true;
            stream->Seek(start, 0);
        }
        SetError(kUnknownFormat);
        return false;
    }
    if (!IsFormatType(type)) {
        SetError(kUnknownFormat);
        return false;
    }
    const PixFormats::Entry* e = PixFormats::Find(type);
    if (!e) {
        // A format this build has no decoder for fails as its decoder would on foreign data.
        SetError(kUnknownFormat);
        return false;
    }
    if (e->attempt(*this, stream, error)) return true;
    SetError(error);
    return false;
}
