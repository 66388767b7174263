#include "image/PixImageGIF.h"

#include "image/PixDecodeLimits.h"

#include <algorithm>
#include <cstring>
#include <new>

using pixlimits::Le16;
using pixlimits::ReadExact;

namespace {

constexpr std::uint8_t kGcTransparent = 0x01;

std::uint32_t BitsFor(std::uint32_t colours) { return colours <= 2 ? 1 : colours <= 16 ? 4 : 8; }

}  // namespace

PixImageGIF::PixImageGIF() : PixImage(PIX_FORMAT_GIF) {}

std::int32_t PixImageGIF::GetByte(PixFile* f) {
    if (bufIndex_ == kBufferSize) {
        bufFill_ = static_cast<std::int32_t>(f->Read(buffer_, 1, kBufferSize));
        bufIndex_ = 0;
    }
    if (bufIndex_ >= bufFill_) return -1;
    ++consumed_;
    return buffer_[bufIndex_++];
}

std::int32_t PixImageGIF::NextDataByte(PixFile* f) {
    if (bytesLeft_ <= 0) {
        const std::int32_t size = GetByte(f);
        // A block terminator before the end code ends the data as surely as the file's end.
        if (size <= 0) return -1;
        if (bufFill_ - bufIndex_ >= size) {
            std::memcpy(subBlock_, buffer_ + bufIndex_, static_cast<std::size_t>(size));
            bufIndex_ += size;
            consumed_ += size;
        } else {
            for (std::int32_t i = 0; i < size; ++i) {
                const std::int32_t b = GetByte(f);
                if (b < 0) return -1;
                subBlock_[i] = static_cast<std::uint8_t>(b);
            }
        }
        bytesLeft_ = size;
        subIndex_ = 0;
    }
    --bytesLeft_;
    return subBlock_[subIndex_++];
}

inline std::int32_t PixImageGIF::GetNextCode(PixFile* f) {
    // Bytes are taken only when the code needs their bits, so a frame's data is consumed up to
    // the byte holding its end code and no further.
    while (bitsLeft_ < currSize_) {
        std::int32_t b;
        if (bytesLeft_ > 0) {
            --bytesLeft_;
            b = subBlock_[subIndex_++];
        } else if ((b = NextDataByte(f)) < 0) {
            return -1;
        }
        bitBuf_ |= static_cast<std::uint32_t>(b) << bitsLeft_;
        bitsLeft_ += 8;
    }
    const std::int32_t code = static_cast<std::int32_t>(bitBuf_ & ((1u << currSize_) - 1));
    bitBuf_ >>= currSize_;
    bitsLeft_ -= currSize_;
    return code;
}

bool PixImageGIF::OutLine(std::uint8_t* line, std::int32_t length) {
    const std::uint32_t bits = GetBpp();
    if (bits == 4) {
        for (std::int32_t x = 0; x < length; ++x) {
            const std::uint8_t v = line[x] & 15;
            std::uint8_t& b = line[x >> 1];
            b = (x & 1) ? static_cast<std::uint8_t>(b | v) : static_cast<std::uint8_t>(v << 4);
        }
    } else if (bits == 1) {
        for (std::int32_t x = 0; x < length; ++x) {
            const std::uint8_t v = line[x] & 1;
            std::uint8_t& b = line[x >> 3];
            b = (x & 7) ? static_cast<std::uint8_t>(b | (v << (7 - (x & 7)))) : static_cast<std::uint8_t>(v << 7);
        }
    }
    const std::size_t bytes = std::min<std::size_t>(static_cast<std::size_t>(length), GetEffWidth());
    const std::int32_t height = GetHeight();
    if (!interlaced_) {
        if (nextRow_ >= height) return false;
        std::memcpy(GetBits(static_cast<std::uint32_t>(height - 1 - nextRow_)), line, bytes);
        rowWritten_[static_cast<std::size_t>(nextRow_)] = 1;
        ++nextRow_;
        return true;
    }
    if (iPass_ > 3) return false;  // all four passes are complete
    if (iLine_ >= 0 && iLine_ < iHeight_) {
        std::memcpy(GetBits(static_cast<std::uint32_t>(iHeight_ - iLine_ - 1)), line, bytes);
        rowWritten_[static_cast<std::size_t>(iLine_)] = 1;
    }
    iLine_ += iStep_;
    // Passes start at lines 0, 4, 2, 1 with steps 8, 8, 4, 2; a pass with no line inside the
    // frame is skipped (a frame of 1, 2 or 4 rows has empty passes).
    while (iLine_ >= iHeight_ && iPass_ <= 3) {
        if (iPass_++ > 0) iStep_ /= 2;
        iLine_ = iStep_ / 2;
    }
    return true;
}

std::int32_t PixImageGIF::StartCodes(PixFile* f) {
    const std::int32_t size = GetByte(f);
    // Pixel indices are bytes: a code size above 8 cannot come from a valid encoder.
    if (size < 2 || size > 8) return 0;
    currSize_ = size + 1;
    topSlot_ = 1 << currSize_;
    clearCode_ = 1 << size;
    endCode_ = clearCode_ + 1;
    slot_ = newCodes_ = clearCode_ + 2;
    bytesLeft_ = bitsLeft_ = 0;
    bitBuf_ = 0;
    return size;
}

std::int32_t PixImageGIF::DecodeFrame(PixFile* f, std::int32_t lineLength) {
    std::int32_t badCodes = 0;
    const std::int32_t size = StartCodes(f);
    if (size == 0) return badCodes;
    std::memset(suffix_, 0, sizeof suffix_);
    std::memset(prefix_, 0, sizeof prefix_);

    std::vector<std::uint8_t> line;
    try {
        line.assign(static_cast<std::size_t>(lineLength) + 1, 0);
    } catch (const std::bad_alloc&) {
        return badCodes;
    }
    std::int32_t pos = 0;
    std::int32_t left = lineLength;
    std::int32_t oc = 0, fc = 0;
    std::int32_t sp = 0;
    bool writing = true;
    auto put = [&](std::uint8_t v) {
        line[static_cast<std::size_t>(pos++)] = v;
        if (--left == 0) {
            writing = OutLine(line.data(), lineLength);
            pos = 0;
            left = lineLength;
        }
    };

    std::int32_t c;
    while (writing && (c = GetNextCode(f)) != endCode_) {
        if (c < 0) break;
        if (c == clearCode_) {
            currSize_ = size + 1;
            slot_ = newCodes_;
            topSlot_ = 1 << currSize_;
            while ((c = GetNextCode(f)) == clearCode_) {
            }
            if (c == endCode_ || c < 0) break;
            if (c >= slot_) c = 0;
            oc = fc = c;
            put(static_cast<std::uint8_t>(c));
            continue;
        }
        std::int32_t code = c;
        if (code >= slot_) {
            if (code > slot_) ++badCodes;
            code = oc;
            stack_[sp++] = static_cast<std::uint8_t>(fc);
        }
        // A damaged table can chain back onto itself: a string never outgrows the table.
        while (code >= newCodes_) {
            if (sp >= kMaxCodes) {
                ++badCodes;
                writing = false;
                break;
            }
            stack_[sp++] = suffix_[code];
            code = prefix_[code];
        }
        if (!writing) break;
        stack_[sp++] = static_cast<std::uint8_t>(code);
        if (slot_ < topSlot_) {
            fc = code;
            suffix_[slot_] = static_cast<std::uint8_t>(fc);
            prefix_[slot_++] = static_cast<std::uint16_t>(oc);
            oc = c;
        }
        if (slot_ >= topSlot_ && currSize_ < 12) {
            topSlot_ <<= 1;
            ++currSize_;
        }
        while (sp > 0 && writing) put(stack_[--sp]);
        sp = 0;
    }
    if (writing && left != lineLength) {
        std::fill(line.begin() + pos, line.end(), std::uint8_t{0});
        OutLine(line.data(), lineLength);
    }
    return badCodes;
}

std::int32_t PixImageGIF::SkipFrame(PixFile* f) {
    const std::int32_t size = StartCodes(f);
    if (size == 0) return 0;
    // Without a bad code every table entry points to an older one, so no string can outgrow the
    // decoder's stack: the only way DecodeFrame stops early is a bad code.
    for (;;) {
        std::int32_t c = GetNextCode(f);
        if (c < 0 || c == endCode_) return 0;
        if (c == clearCode_) {
            currSize_ = size + 1;
            slot_ = newCodes_;
            topSlot_ = 1 << currSize_;
            while ((c = GetNextCode(f)) == clearCode_) {
            }
            if (c == endCode_ || c < 0) return 0;
            continue;
        }
        if (c > slot_) return 1;
        if (slot_ < topSlot_) ++slot_;
        if (slot_ >= topSlot_ && currSize_ < 12) {
            topSlot_ <<= 1;
            ++currSize_;
        }
    }
}

void PixImageGIF::SkipPastFrame(PixFile* f, std::int32_t start, std::int32_t badCodes) {
    if (badCodes == 0) {
        // Just past the byte after the last one consumed: normally the data's block terminator.
        f->Seek(static_cast<std::int32_t>(start + consumed_ + 1), 0);
        return;
    }
    // Damaged data: resume at the next image introducer that follows a zero byte.
    f->Seek(start, 0);
    std::int32_t prev = -1;
    for (;;) {
        const std::int32_t at = f->Tell();
        const std::int32_t c = f->GetC();
        if (c < 0) return;
        if (prev == 0 && c == ',') {
            f->Seek(at, 0);
            return;
        }
        prev = c;
    }
}

PixImageGIF::Scan PixImageGIF::NextBlock(PixFile* f) {
    for (;;) {
        const std::int32_t c = f->GetC();
        if (c < 0) return Scan::Stop;
        if (scanGo_) {
            if (c == '!') return Scan::Extension;
            if (c == ',') return Scan::Image;
            if (c == ';') return Scan::Stop;
        }
        scanGo_ = c == 0;
    }
}

bool PixImageGIF::DecodeExtension(PixFile* f) {
    const std::int32_t label = f->GetC();
    if (label < 0) return false;
    bool ok = true;
    if (label == 0xF9) {
        const std::int32_t size = f->GetC();
        if (size < 0) return false;
        std::uint8_t r[4];
        const std::size_t n = f->Read(r, 1, 4);
        ok = static_cast<std::int32_t>(n) == size;
        if (n == 4) {
            gce_.flags = r[0];
            gce_.delay = Le16(r + 1);
            gce_.transIndex = r[3];
            if (gce_.flags & kGcTransparent) info.transIndex = gce_.transIndex;
            info.frameDelay = gce_.delay;
            disposal_ = (gce_.flags >> 2) & 7;
        }
    } else if (label == 0xFE) {
        const std::int32_t size = f->GetC();
        if (size < 0) return false;
        const std::size_t n = f->Read(comment_, 1, static_cast<std::size_t>(size));
        comment_[n] = '\0';
        ok = static_cast<std::int32_t>(n) == size;
    } else if (label == 0xFF) {
        if (f->GetC() != 11) return false;
        std::uint8_t app[11];
        if (!ReadExact(f, app, sizeof app)) return false;
        const std::int32_t size = f->GetC();
        if (size < 0) return false;
        std::uint8_t sub[255];
        if (!ReadExact(f, sub, static_cast<std::size_t>(size))) return false;
        if (size > 2) loopCount_ = sub[1] + 256 * sub[2];
    }
    for (;;) {
        const std::int32_t size = f->GetC();
        if (size < 0) return false;
        if (size == 0) break;
        if (!f->Seek(size, 1)) return false;
    }
    return ok;
}

std::int32_t PixImageGIF::CountFrames(PixFile* f, std::uint16_t screenWidth, std::uint16_t screenHeight) {
    const std::int32_t pos = f->Tell();
    std::int32_t count = 0;
    scanGo_ = true;
    for (;;) {
        const Scan s = NextBlock(f);
        if (s == Scan::Stop) break;
        if (s == Scan::Extension) {
            if (!DecodeExtension(f)) break;
            continue;
        }
        std::uint8_t raw[9];
        if (!ReadExact(f, raw, sizeof raw)) break;
        const Descriptor d{Le16(raw), Le16(raw + 2), Le16(raw + 4), Le16(raw + 6), raw[8]};
        if (d.width == 0 || d.height == 0 || d.left + d.width > screenWidth || d.top + d.height > screenHeight)
            continue;
        if ((d.packed & 0x80) && !f->Seek(3 << ((d.packed & 7) + 1), 1)) break;
        bufIndex_ = kBufferSize;
        bufFill_ = 0;
        consumed_ = 0;
        const std::int32_t start = f->Tell();
        SkipPastFrame(f, start, SkipFrame(f));
        ++count;
    }
    f->Seek(pos, 0);
    return count;
}

bool PixImageGIF::Decode(PixFile* f) {
    if (!f) return false;
    std::uint8_t sd[13];
    if (!ReadExact(f, sd, sizeof sd) || std::memcmp(sd, "GIF8", 4) != 0) return false;
    const std::uint16_t screenWidth = Le16(sd + 6);
    const std::uint16_t screenHeight = Le16(sd + 8);
    const std::uint8_t packed = sd[10];
    if (!pixlimits::PixelsAllowed(screenWidth, screenHeight)) return false;
    // Before any graphic control extension the background is filled with the screen's own
    // background colour.
    gce_.transIndex = sd[11];

    std::int32_t trueColourSigns = 0;
    const std::uint32_t globalCount = 1u << ((packed & 7) + 1);
    const bool hasGlobal = (packed & 0x80) != 0;
    std::uint8_t global[256 * 3] = {};
    if (hasGlobal) {
        if (!ReadExact(f, global, globalCount * 3)) return false;
    } else {
        ++trueColourSigns;
    }

    // Counting reads every extension; what it leaves behind must not leak into the first frame.
    const GraphicControl savedGce = gce_;
    const std::int32_t savedTrans = info.transIndex;
    const std::uint32_t savedDelay = info.frameDelay;
    const std::int32_t frames = CountFrames(f, screenWidth, screenHeight);
    gce_ = savedGce;
    disposal_ = 0;
    info.transIndex = savedTrans;
    info.frameDelay = savedDelay;
    info.frameCount = frames;
    if (info.frame < 0 || info.frame >= frames) return false;
    const bool single = frames == 1;

    PixImage background(PIX_FORMAT_GIF);
    PixImage combined(PIX_FORMAT_GIF);  // the true-colour picture of all frames
    bool trueColour = false;
    std::int32_t firstTrans = -1;
    std::uint32_t prevDisposal = 0;
    RGBQUAD pal[256] = {};
    std::int32_t frameNo = 0;
    scanGo_ = true;
    for (;;) {
        const Scan s = NextBlock(f);
        if (s == Scan::Stop) break;
        if (s == Scan::Extension) {
            if (!DecodeExtension(f)) break;
            continue;
        }
        std::uint8_t raw[9];
        if (!ReadExact(f, raw, sizeof raw)) break;
        const Descriptor d{Le16(raw), Le16(raw + 2), Le16(raw + 4), Le16(raw + 6), raw[8]};
        if (d.width == 0 || d.height == 0 || d.left + d.width > screenWidth || d.top + d.height > screenHeight)
            continue;
        if (frameNo == 0 && d.width != screenWidth && d.height != screenHeight) ++trueColourSigns;
        trueColour = !single && trueColourSigns >= 2;

        std::uint8_t local[256 * 3];
        const std::uint8_t* table = hasGlobal ? global : nullptr;
        std::uint32_t tableCount = globalCount;
        if (d.packed & 0x80) {
            tableCount = 1u << ((d.packed & 7) + 1);
            if (!ReadExact(f, local, tableCount * 3)) break;
            table = local;
        }
        const std::uint32_t bpp = BitsFor(tableCount);

        if (!trueColour) {
            if (frameNo == 0) {
                background.CopyInfo(*this);
                if (!background.Create(screenWidth, screenHeight, bpp, PIX_FORMAT_GIF)) return false;
                firstTrans = info.transIndex;
                background.Clear(gce_.transIndex);
            } else {
                background.Copy(*this, true, true, true);
                if (prevDisposal == 2) background.Clear(static_cast<std::uint8_t>(firstTrans));
            }
        }
        if (!Create(d.width, d.height, bpp, PIX_FORMAT_GIF)) return false;
        if (table) {
            std::uint32_t n = tableCount;
            for (std::uint32_t i = 0; i < n; ++i) pal[i] = RGBQUAD{table[3 * i + 2], table[3 * i + 1], table[3 * i], 0};
            if (info.transIndex >= 0) {
                for (std::uint32_t i = n; i < 256; ++i) pal[i] = RGBQUAD{255, 255, 255, 0};
                n = 256;
            }
            SetPalette(pal, n);
        }

        interlaced_ = (d.packed & 0x40) != 0;
        iLine_ = 0;
        iStep_ = 8;
        iPass_ = 0;
        iHeight_ = d.height;
        nextRow_ = 0;
        rowWritten_.assign(d.height, 0);
        bufIndex_ = kBufferSize;
        bufFill_ = 0;
        consumed_ = 0;
        const std::int32_t start = f->Tell();
        const std::int32_t badCodes = DecodeFrame(f, d.width);

        if (!trueColour) {
            const std::int32_t base = screenHeight - d.top - d.height;
            const std::int32_t right = std::min<std::int32_t>(background.GetWidth(), d.left + d.width);
            const std::int32_t trans = info.transIndex;
            for (std::int32_t fy = 0; fy < d.height; ++fy) {
                if (!rowWritten_[static_cast<std::size_t>(d.height - 1 - fy)]) continue;
                const std::int32_t row = base + fy;
                if (GetBpp() == 8 && background.GetBpp() == 8) {
                    const std::uint8_t* in = GetBits(static_cast<std::uint32_t>(fy));
                    std::uint8_t* out = background.GetBits(static_cast<std::uint32_t>(row)) + d.left;
                    for (std::int32_t x = 0; x < right - d.left; ++x)
                        if (in[x] != trans) out[x] = in[x];
                    continue;
                }
                for (std::int32_t col = d.left; col < right; ++col) {
                    const std::uint8_t idx = GetPixelIndex(col - d.left, fy);
                    if (idx != trans) background.SetPixelIndex(col, row, idx);
                }
            }
            background.SetTransIndex(firstTrans);
            background.SetPalette(pal, 256);
            Transfer(background);
        } else {
            if (!combined.IsValid()) {
                combined.CopyInfo(*this);
                if (!combined.Create(screenWidth, screenHeight, 24, PIX_FORMAT_GIF)) return false;
            }
            info.frame = frames - 1;
            for (std::int32_t y = 0; y < d.height; ++y) {
                if (!rowWritten_[static_cast<std::size_t>(y)]) continue;
                const std::int32_t src = d.height - 1 - y;
                std::uint8_t* out = combined.GetBits(static_cast<std::uint32_t>(screenHeight - 1 - d.top - y));
                for (std::int32_t x = 0; x < d.width; ++x) {
                    const RGBQUAD c = GetPixelColor(x, src, false);
                    std::uint8_t* p = out + 3 * static_cast<std::size_t>(d.left + x);
                    p[0] = c.rgbBlue;
                    p[1] = c.rgbGreen;
                    p[2] = c.rgbRed;
                }
            }
        }

        prevDisposal = (gce_.flags >> 2) & 7;
        SkipPastFrame(f, start, badCodes);
        if (frameNo >= info.frame) break;
        ++frameNo;
    }

    if (trueColour) {
        if (!combined.IsValid()) return false;
        if (gce_.flags & kGcTransparent) {
            combined.SetTransColor(GetPaletteColor(gce_.transIndex));
            combined.SetTransIndex(0);
        }
        const std::int32_t frame = info.frame, count = info.frameCount, trans = combined.GetTransIndex();
        Transfer(combined);
        info.frame = frame;
        info.frameCount = count;
        info.transIndex = trans;
    }
    return IsValid();
}
