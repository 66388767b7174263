#include "image/PixExifInfo.h"

#include "image/PixDecodeLimits.h"
#include "image/PixFile.h"

#include <cctype>
#include <cstring>
#include <new>

namespace {

// Bytes per component of the twelve TIFF formats.
constexpr std::uint32_t kFormatSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

constexpr std::uint16_t kTagMake = 0x010F;
constexpr std::uint16_t kTagModel = 0x0110;
constexpr std::uint16_t kTagOrientation = 0x0112;
constexpr std::uint16_t kTagXResolution = 0x011A;
constexpr std::uint16_t kTagYResolution = 0x011B;
constexpr std::uint16_t kTagResolutionUnit = 0x0128;
constexpr std::uint16_t kTagDateTime = 0x0132;
constexpr std::uint16_t kTagExposureTime = 0x829A;
constexpr std::uint16_t kTagFNumber = 0x829D;
constexpr std::uint16_t kTagExifOffset = 0x8769;
constexpr std::uint16_t kTagDateTimeOriginal = 0x9003;
constexpr std::uint16_t kTagFlash = 0x9209;
constexpr std::uint16_t kTagFocalLength = 0x920A;
constexpr std::uint16_t kTagInteropOffset = 0xA005;
constexpr std::uint16_t kTagFocalPlaneXRes = 0xA20E;
constexpr std::uint16_t kTagFocalPlaneYRes = 0xA20F;
constexpr std::uint16_t kTagFocalPlaneUnits = 0xA210;

// Directories nest three deep in practice (IFD0, Exif, interoperability).
constexpr int kMaxDepth = 8;

// Inches per unit; other values leave the factor as it was.
void SetUnitFactor(float& factor, std::int32_t unit) {
    switch (unit) {
    case 1:
    case 2: factor = 1.0f; break;
    case 3: factor = 0.3937007874f; break;
    case 4: factor = 0.03937007874f; break;
    case 5: factor = 0.00003937007874f; break;
    default: break;
    }
}

void CopyText(char* dest, std::size_t capacity, const std::uint8_t* src, std::uint32_t length) {
    const std::size_t n = std::min<std::size_t>(capacity - 1, length);
    std::memcpy(dest, src, n);
    dest[n] = '\0';
}

}  // namespace

PixImageJPG::PixExifInfo::PixExifInfo(PixExifRecord* record) : record_(record ? record : &own_) {}

void PixImageJPG::PixExifInfo::SetError(const char* text) {
    std::strncpy(lastError_, text, sizeof lastError_ - 1);
    lastError_[sizeof lastError_ - 1] = '\0';
}

std::uint16_t PixImageJPG::PixExifInfo::Get16(const std::uint8_t* p) const {
    return motorola_ ? static_cast<std::uint16_t>((p[0] << 8) | p[1]) : static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t PixImageJPG::PixExifInfo::Get32(const std::uint8_t* p) const {
    return motorola_ ? (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3]
                     : pixlimits::Le32(p);
}

double PixImageJPG::PixExifInfo::ConvertAny(const std::uint8_t* p, std::uint32_t format) const {
    switch (format) {
    case 1: return p[0];
    case 3: return Get16(p);
    case 4: return Get32(p);
    case 5: {
        const std::uint32_t den = Get32(p + 4);
        return den ? static_cast<double>(Get32(p)) / den : 0.0;
    }
    case 6: return static_cast<std::int8_t>(p[0]);
    case 8: return static_cast<std::int16_t>(Get16(p));
    case 9: return static_cast<std::int32_t>(Get32(p));
    case 10: {
        const auto den = static_cast<std::int32_t>(Get32(p + 4));
        return den ? static_cast<double>(static_cast<std::int32_t>(Get32(p))) / den : 0.0;
    }
    case 11: {
        const std::uint32_t bits = Get32(p);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    case 12: {
        const std::uint64_t hi = Get32(p + (motorola_ ? 0 : 4));
        const std::uint64_t lo = Get32(p + (motorola_ ? 4 : 0));
        const std::uint64_t bits = (hi << 32) | lo;
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    default: return 0.0;
    }
}

bool PixImageJPG::PixExifInfo::DecodeExif(PixFile* f, int readMode) {
    if (!f) return false;
    if (f->GetC() != 0xFF || f->GetC() != 0xD8) return false;
    bool commentSeen = false;
    for (;;) {
        if (sections_.size() >= kMaxSections) {
            SetError("Too many sections in jpg file");
            return false;
        }
        std::int32_t marker = 0;
        for (int i = 0; i < 7; ++i) {
            marker = f->GetC();
            if (marker != 0xFF) break;
            if (i >= 6) {
                SetError("too many padding bytes");
                return false;
            }
        }
        std::uint8_t lenBytes[2];
        if (marker < 0 || !pixlimits::ReadExact(f, lenBytes, 2)) {
            SetError("Premature end of file?");
            return false;
        }
        const std::uint32_t length = (std::uint32_t{lenBytes[0]} << 8) | lenBytes[1];
        if (length < 2) {
            SetError("invalid marker");
            return false;
        }
        Section section;
        section.marker = marker;
        section.size = length;
        try {
            section.data.resize(length);
        } catch (const std::bad_alloc&) {
            SetError("Could not allocate memory");
            return false;
        }
        section.data[0] = lenBytes[0];
        section.data[1] = lenBytes[1];
        if (!pixlimits::ReadExact(f, section.data.data() + 2, length - 2)) {
            SetError("Premature end of file?");
            return false;
        }

        switch (marker) {
        case 0xDA:
            sections_.push_back(std::move(section));
            if (readMode & 2) {
                const std::int64_t rest = pixlimits::Remaining(f);
                Section image;
                image.marker = 0;
                try {
                    image.data.resize(static_cast<std::size_t>(rest));
                } catch (const std::bad_alloc&) {
                    SetError("could not allocate data for entire image");
                    return false;
                }
                if (!pixlimits::ReadExact(f, image.data.data(), image.data.size())) {
                    SetError("could not read the rest of the image");
                    return false;
                }
                image.size = static_cast<std::uint32_t>(rest);
                sections_.push_back(std::move(image));
            }
            return true;
        case 0xD9:
            SetError("No image in jpeg!");
            return false;
        case 0xFE:
            if (!commentSeen && (readMode & 1)) {
                commentSeen = true;
                ProcessComment(section.data.data() + 2, length - 2);
                sections_.push_back(std::move(section));
            }
            break;
        case 0xE0:
            break;
        case 0xE1:
            if ((readMode & 1) && length >= 6 && std::memcmp(section.data.data() + 2, "Exif", 4) == 0) {
                const bool ok = ProcessExif(section.data.data() + 2, length - 2);
                sections_.push_back(std::move(section));
                if (!ok) return false;
            }
            break;
        default:
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
                ProcessFrame(section.data, marker);
            sections_.push_back(std::move(section));
            break;
        }
    }
}

void PixImageJPG::PixExifInfo::ProcessFrame(const std::vector<std::uint8_t>& data, std::int32_t marker) {
    if (data.size() < 8) return;
    record_->height = (data[3] << 8) | data[4];
    record_->width = (data[5] << 8) | data[6];
    record_->isColor = data[7] == 3;
    record_->process = marker;
}

void PixImageJPG::PixExifInfo::ProcessComment(const std::uint8_t* data, std::uint32_t length) {
    const std::uint32_t n = std::min<std::uint32_t>(length, 1000);
    std::uint32_t out = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t c = data[i];
        if (c == '\r' && i + 1 < n && data[i + 1] == '\n') continue;
        record_->comment[out++] = (std::isprint(c) || c == '\n' || c == '\t') ? static_cast<char>(c) : '?';
    }
    record_->comment[out] = '\0';
}

bool PixImageJPG::PixExifInfo::ProcessExif(const std::uint8_t* data, std::uint32_t length) {
    record_->comment[0] = '\0';
    record_->focalPlaneXRes = 0;
    record_->exposureTime = 0;
    if (length < 14 || std::memcmp(data, "Exif\0\0", 6) != 0) {
        SetError("Incorrect Exif header");
        return false;
    }
    if (data[6] == 'I' && data[7] == 'I') {
        motorola_ = false;
    } else if (data[6] == 'M' && data[7] == 'M') {
        motorola_ = true;
    } else {
        SetError("Invalid Exif alignment marker.");
        return false;
    }
    if (Get16(data + 8) != 0x2A) {
        SetError("Invalid Exif start (1)");
        return false;
    }
    const std::uint32_t firstOffset = Get32(data + 10);
    tiff_ = data + 6;
    tiffLength_ = length - 6;
    exifDataEnd_ = 0;
    visited_.clear();
    if (!ProcessDir(8, 0)) return false;
    if (firstOffset > 8 && !ProcessDir(firstOffset, 0)) return false;
    record_->isExif = true;
    return true;
}

bool PixImageJPG::PixExifInfo::ProcessDir(std::uint32_t offset, int depth) {
    // A link back to a directory already read would loop for ever; deep nesting is not Exif.
    if (depth > kMaxDepth || !visited_.insert(offset).second) return true;
    if (static_cast<std::uint64_t>(offset) + 2 > tiffLength_) {
        SetError("Illegally sized directory");
        return false;
    }
    const std::uint32_t count = Get16(tiff_ + offset);
    const std::uint64_t dirEnd = std::uint64_t{offset} + 2 + 12ull * count;
    if (dirEnd > tiffLength_) {
        SetError("Illegally sized directory");
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = tiff_ + offset + 2 + 12 * i;
        const std::uint16_t tag = Get16(entry);
        const std::uint32_t format = Get16(entry + 2);
        const std::uint32_t components = Get32(entry + 4);
        if (format < 1 || format > 12) {
            SetError("Illegal format code in EXIF dir");
            return false;
        }
        const std::uint64_t byteCount = std::uint64_t{components} * kFormatSize[format];
        const std::uint8_t* value = entry + 8;
        if (byteCount > 4) {
            const std::uint32_t valueOffset = Get32(entry + 8);
            if (valueOffset + byteCount > tiffLength_) {
                SetError("Illegal pointer offset value in EXIF.");
                return false;
            }
            value = tiff_ + valueOffset;
            exifDataEnd_ = std::max<std::uint32_t>(exifDataEnd_, static_cast<std::uint32_t>(valueOffset + byteCount));
        }
        // A value of no components has nothing to convert.
        const bool numeric = components != 0 && format != 2 && format != 7;
        const double number = numeric ? ConvertAny(value, format) : 0.0;
        const auto text = static_cast<std::uint32_t>(byteCount);

        switch (tag) {
        case kTagMake: CopyText(record_->cameraMake, sizeof record_->cameraMake, value, text); break;
        case kTagModel: CopyText(record_->cameraModel, sizeof record_->cameraModel, value, text); break;
        case kTagDateTime:
        case kTagDateTimeOriginal: CopyText(record_->dateTime, sizeof record_->dateTime, value, text); break;
        case kTagOrientation:
            record_->orientation = pixlimits::ToInt32(number);
            if (record_->orientation < 1 || record_->orientation > 8) {
                SetError("Undefined rotation value");
                record_->orientation = 0;
            }
            break;
        case kTagXResolution: record_->xResolution = static_cast<float>(number); break;
        case kTagYResolution: record_->yResolution = static_cast<float>(number); break;
        case kTagResolutionUnit: SetUnitFactor(record_->resolutionUnit, pixlimits::ToInt32(number)); break;
        case kTagFocalPlaneUnits: SetUnitFactor(record_->focalPlaneUnits, pixlimits::ToInt32(number)); break;
        case kTagFocalPlaneXRes: record_->focalPlaneXRes = static_cast<float>(number); break;
        case kTagFocalPlaneYRes: record_->focalPlaneYRes = static_cast<float>(number); break;
        case kTagExposureTime: record_->exposureTime = static_cast<float>(number); break;
        case kTagFNumber: record_->apertureFNumber = static_cast<float>(number); break;
        case kTagFlash: record_->flashUsed = pixlimits::ToInt32(number) & 1; break;
        case kTagFocalLength: record_->focalLength = static_cast<float>(number); break;
        case kTagExifOffset:
        case kTagInteropOffset: {
            if (byteCount < 4) break;
            const std::uint32_t sub = Get32(value);
            if (sub >= tiffLength_) {
                SetError("Illegal subdirectory link");
                return false;
            }
            if (!ProcessDir(sub, depth + 1)) return false;
            break;
        }
        default: break;
        }
    }
    // The link to a next directory, when the block holds one.
    if (dirEnd + 4 <= tiffLength_) {
        const std::uint32_t next = Get32(tiff_ + dirEnd);
        if (next) {
            if (next >= tiffLength_) {
                SetError("Illegal subdirectory link");
                return false;
            }
            if (!ProcessDir(next, depth + 1)) return false;
        }
    }
    return true;
}
