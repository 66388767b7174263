#pragma once
// Walks a JPEG file's marker sections and parses its Exif block and first comment into a
// PixExifRecord. Every offset and count of the block is checked against the block; directory
// links that lead back to a directory already read are not followed again. Prints nothing.
#include "image/PixImageJPG.h"

#include <cstdint>
#include <set>
#include <vector>

class PixFile;

class PixImageJPG::PixExifInfo {
public:
    // Fills `record`, or a record of its own when none is given.
    explicit PixExifInfo(PixExifRecord* record = nullptr);

    // readMode bit 1: parse the Exif and comment sections; bit 2: also keep the compressed image
    // data. Leaves the stream where the walk stopped. True when the walk reached the start of
    // scan; false with the reader's error text otherwise (without text for a file that does not
    // start with a JPEG start-of-image marker).
    [[nodiscard]] bool DecodeExif(PixFile* stream, int readMode = 1);
    // Parses an Exif block (the section data after its two length bytes).
    [[nodiscard]] bool ProcessExif(const std::uint8_t* data, std::uint32_t length);

    [[nodiscard]] const char* GetLastError() const { return lastError_; }
    [[nodiscard]] const PixExifRecord& GetRecord() const { return *record_; }
    [[nodiscard]] std::int32_t GetSectionCount() const { return static_cast<std::int32_t>(sections_.size()); }

private:
    struct Section {
        std::int32_t marker = 0;
        std::uint32_t size = 0;
        std::vector<std::uint8_t> data;
    };
    static constexpr std::size_t kMaxSections = 20;

    bool ProcessDir(std::uint32_t offset, int depth);
    void ProcessComment(const std::uint8_t* data, std::uint32_t length);
    void ProcessFrame(const std::vector<std::uint8_t>& data, std::int32_t marker);
    [[nodiscard]] std::uint16_t Get16(const std::uint8_t* p) const;
    [[nodiscard]] std::uint32_t Get32(const std::uint8_t* p) const;
    [[nodiscard]] double ConvertAny(const std::uint8_t* p, std::uint32_t format) const;
    void SetError(const char* text);

    PixExifRecord own_{};
    PixExifRecord* record_ = nullptr;
    char lastError_[256] = {};
    bool motorola_ = false;  // big-endian byte order
    std::vector<Section> sections_;
    const std::uint8_t* tiff_ = nullptr;  // the TIFF header inside the Exif block
    std::uint32_t tiffLength_ = 0;
    std::uint32_t exifDataEnd_ = 0;  // end of the last Exif data referenced
    std::set<std::uint32_t> visited_;
};
