#pragma once
// GIF87a and GIF89a with the layer's own LZW decoder. The requested frame (the info record's frame
// number) is composed onto a background of the logical screen size, honouring the graphic control
// extension's transparent index and disposal method; interlaced frames are put in order. A file of
// several small frames without a global colour table is taken as one true-colour picture made of
// all its frames (24 bits).
#include "image/PixImage.h"

#include <cstdint>
#include <vector>

class PixImageGIF : public PixImage {
public:
    PixImageGIF();
    // Decodes from the stream's position. False for a null stream, a file that does not start
    // with "GIF8", a requested frame out of range, or a file without any decodable frame; writes
    // no error text. Damage inside a frame's data keeps what was decoded.
    bool Decode(PixFile* stream);

    [[nodiscard]] const char* GetComment() const { return comment_; }
    [[nodiscard]] std::int32_t GetLoopCount() const { return loopCount_; }
    [[nodiscard]] std::uint32_t GetDisposalMethod() const { return disposal_; }

private:
    struct GraphicControl {
        std::uint8_t flags = 0;
        std::uint16_t delay = 0;      // hundredths of a second
        std::uint8_t transIndex = 0;
    };
    struct Descriptor {
        std::uint16_t left = 0, top = 0, width = 0, height = 0;
        std::uint8_t packed = 0;
    };
    enum class Scan { Extension, Image, Stop };

    // The next block introducer of the scan, skipping garbage up to a zero byte.
    Scan NextBlock(PixFile* f);
    bool DecodeExtension(PixFile* f);
    // Reads an image's code size and resets the code reader; returns the size, 0 for one no encoder
    // writes.
    std::int32_t StartCodes(PixFile* f);
    // Decodes one frame's LZW data into this image's rows. Returns the number of bad codes met.
    std::int32_t DecodeFrame(PixFile* f, std::int32_t lineLength);
    // Reads one frame's LZW data for counting frames, following only the code widths, not the
    // strings: the bytes a decode that never stops at the last row consumes, and a non-zero
    // result exactly when it would meet bad codes (it stops at the first).
    std::int32_t SkipFrame(PixFile* f);
    // Leaves the stream after the frame's data (see DecodeFrame's bad codes).
    void SkipPastFrame(PixFile* f, std::int32_t start, std::int32_t badCodes);
    [[nodiscard]] std::int32_t CountFrames(PixFile* f, std::uint16_t screenWidth, std::uint16_t screenHeight);
    [[nodiscard]] std::int32_t GetByte(PixFile* f);
    [[nodiscard]] std::int32_t NextDataByte(PixFile* f);
    [[nodiscard]] std::int32_t GetNextCode(PixFile* f);
    bool OutLine(std::uint8_t* line, std::int32_t length);

    GraphicControl gce_{};
    std::uint32_t disposal_ = 0;
    bool scanGo_ = true;  // the last unexpected byte of the block scan was 0

    // Interlace state.
    bool interlaced_ = false;
    std::int32_t iLine_ = 0;
    std::int32_t iStep_ = 8;
    std::int32_t iHeight_ = 0;
    std::int32_t iPass_ = 0;
    std::int32_t nextRow_ = 0;  // rows written from the top, not interlaced
    // Which rows of the frame (from the top) received data: only those are composed, so a frame
    // whose data ends early leaves the background showing.
    std::vector<std::uint8_t> rowWritten_;

    // Input buffer over the stream.
    static constexpr std::int32_t kBufferSize = 16383;
    std::uint8_t buffer_[kBufferSize] = {};
    std::int32_t bufIndex_ = kBufferSize;
    std::int32_t bufFill_ = 0;
    std::int64_t consumed_ = 0;

    // LZW state.
    std::int32_t currSize_ = 0;
    std::int32_t clearCode_ = 0;
    std::int32_t endCode_ = 0;
    std::int32_t newCodes_ = 0;
    std::int32_t slot_ = 0;
    std::int32_t topSlot_ = 0;
    std::int32_t bytesLeft_ = 0;  // in the current data sub-block
    std::int32_t bitsLeft_ = 0;   // in the current byte
    std::uint32_t bitBuf_ = 0;    // the bitsLeft_ bits not yet used, lowest first
    std::uint8_t subBlock_[257] = {};
    std::int32_t subIndex_ = 0;
    static constexpr std::int32_t kMaxCodes = 4096;
    std::uint8_t stack_[kMaxCodes + 1] = {};
    std::uint8_t suffix_[kMaxCodes] = {};
    std::uint16_t prefix_[kMaxCodes] = {};

    char comment_[256] = {};
    std::int32_t loopCount_ = 0;
};
