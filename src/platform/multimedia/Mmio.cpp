#include "platform/multimedia/Mmio.h"

#include "platform/system/LinuxFileNames.h"

#include <cstdio>
#include <limits>

struct HMMIO__ {
    std::FILE* stream = nullptr;
    bool writable = false;
    // stdio needs a seek between a write and a following read (and the other way round).
    enum class LastOp { None, Read, Write } last = LastOp::None;
};

namespace {

constexpr std::int64_t kMaxOffset = std::numeric_limits<std::uint32_t>::max();
constexpr FOURCC kRiff = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC kList = mmioFOURCC('L', 'I', 'S', 'T');

std::int64_t tell(HMMIO file)
{
    long pos = std::ftell(file->stream);
    return pos < 0 ? -1 : std::int64_t(pos);
}

bool seekTo(HMMIO file, std::int64_t pos)
{
    if (pos < 0 || pos > kMaxOffset)
        return false;
    file->last = HMMIO__::LastOp::None;
    return std::fseek(file->stream, long(pos), SEEK_SET) == 0;
}

bool readExact(HMMIO file, void* buffer, std::size_t n)
{
    return mmioRead(file, static_cast<char*>(buffer), std::int32_t(n)) == std::int32_t(n);
}

bool writeExact(HMMIO file, const void* data, std::size_t n)
{
    return mmioWrite(file, static_cast<const char*>(data), std::int32_t(n)) == std::int32_t(n);
}

std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void put32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

} // namespace

HMMIO mmioOpen(const std::string& name, std::uint32_t flags)
{
    const bool create = (flags & MMIO_CREATE) != 0;
    const std::uint32_t access = flags & 0x3;
    const char* mode = create ? (access == MMIO_WRITE ? "wb" : "w+b") : (access == MMIO_READ ? "rb" : "r+b");
    // The content names its files with "\" and in any letter case.
    std::FILE* stream = std::fopen(ResolveFileName(name).c_str(), mode);
    if (!stream)
        return nullptr;
    auto* file = new HMMIO__;
    file->stream = stream;
    file->writable = create || access != MMIO_READ;
    return file;
}

MMRESULT mmioClose(HMMIO file)
{
    if (!file)
        return MMIOERR_INVALIDFILE;
    const int rc = std::fclose(file->stream);
    delete file;
    return rc == 0 ? MMSYSERR_NOERROR : MMIOERR_CANNOTWRITE;
}

std::int32_t mmioRead(HMMIO file, char* buffer, std::int32_t n)
{
    if (!file || n < 0 || (!buffer && n > 0))
        return -1;
    if (file->last == HMMIO__::LastOp::Write && std::fseek(file->stream, 0, SEEK_CUR) != 0)
        return -1;
    file->last = HMMIO__::LastOp::Read;
    const std::size_t got = std::fread(buffer, 1, std::size_t(n), file->stream);
    if (got < std::size_t(n) && std::ferror(file->stream))
        return -1;
    return std::int32_t(got);
}

std::int32_t mmioWrite(HMMIO file, const char* data, std::int32_t n)
{
    if (!file || !file->writable || n < 0 || (!data && n > 0))
        return -1;
    if (file->last == HMMIO__::LastOp::Read && std::fseek(file->stream, 0, SEEK_CUR) != 0)
        return -1;
    file->last = HMMIO__::LastOp::Write;
    if (tell(file) + n > kMaxOffset)
        return -1;
    const std::size_t put = std::fwrite(data, 1, std::size_t(n), file->stream);
    return put == std::size_t(n) ? n : -1;
}

std::int32_t mmioSeek(HMMIO file, std::int32_t offset, int origin)
{
    if (!file)
        return -1;
    std::int64_t base = 0;
    if (origin == SEEK_CUR) {
        base = tell(file);
    } else if (origin == SEEK_END) {
        if (std::fseek(file->stream, 0, SEEK_END) != 0)
            return -1;
        base = tell(file);
    } else if (origin != SEEK_SET) {
        return -1;
    }
    if (base < 0)
        return -1;
    const std::int64_t target = base + offset;
    if (target > std::numeric_limits<std::int32_t>::max() || !seekTo(file, target))
        return -1;
    return std::int32_t(target);
}

MMRESULT mmioFlush(HMMIO file)
{
    if (!file)
        return MMIOERR_INVALIDFILE;
    return std::fflush(file->stream) == 0 ? MMSYSERR_NOERROR : MMIOERR_CANNOTWRITE;
}

MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, std::uint32_t flags)
{
    if (!file || !chunk)
        return MMIOERR_INVALIDFILE;
    // The search never leaves the parent's data; without a parent it stops at the end of the file.
    std::int64_t limit = kMaxOffset;
    if (parent)
        limit = std::int64_t(parent->dwDataOffset) + parent->cksize;
    const FOURCC wantId = chunk->ckid;
    const FOURCC wantType = chunk->fccType;
    std::int64_t pos = tell(file);
    if (pos < 0)
        return MMIOERR_CANNOTSEEK;
    for (;;) {
        if (pos + 8 > limit)
            return MMIOERR_CHUNKNOTFOUND;
        unsigned char header[8];
        if (!seekTo(file, pos) || !readExact(file, header, 8))
            return MMIOERR_CHUNKNOTFOUND;
        MMCKINFO found;
        found.ckid = le32(header);
        found.cksize = le32(header + 4);
        found.dwDataOffset = std::uint32_t(pos + 8);
        const bool isForm = found.ckid == kRiff || found.ckid == kList;
        if (isForm) {
            unsigned char type[4];
            if (pos + 12 > limit || !readExact(file, type, 4))
                return MMIOERR_CHUNKNOTFOUND;
            found.fccType = le32(type);
        }
        bool match = true;
        if (flags & MMIO_FINDCHUNK)
            match = found.ckid == wantId;
        else if (flags & MMIO_FINDRIFF)
            match = found.ckid == kRiff && found.fccType == wantType;
        else if (flags & MMIO_FINDLIST)
            match = found.ckid == kList && found.fccType == wantType;
        if (match) {
            *chunk = found;
            return MMSYSERR_NOERROR;
        }
        // Every step moves on by at least the 8 header bytes, so the search always ends.
        pos = pos + 8 + std::int64_t(found.cksize) + (found.cksize & 1);
    }
}

MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, std::uint32_t flags)
{
    if (!file || !chunk)
        return MMIOERR_INVALIDFILE;
    std::int64_t end = std::int64_t(chunk->dwDataOffset) + chunk->cksize;
    if (chunk->dwFlags & MMIO_DIRTY) {
        const std::int64_t pos = tell(file);
        if (pos < 0 || pos < chunk->dwDataOffset)
            return MMIOERR_CANNOTSEEK;
        const std::int64_t size = pos - chunk->dwDataOffset;
        if (size > kMaxOffset)
            return MMIOERR_CANNOTWRITE;
        if (std::uint32_t(size) != chunk->cksize) {
            unsigned char buf[4];
            put32(buf, std::uint32_t(size));
            if (!seekTo(file, std::int64_t(chunk->dwDataOffset) - 4) || !writeExact(file, buf, 4))
                return MMIOERR_CANNOTWRITE;
            chunk->cksize = std::uint32_t(size);
        }
        end = std::int64_t(chunk->dwDataOffset) + chunk->cksize;
        if (chunk->cksize & 1) {
            const char pad = 0;
            if (!seekTo(file, end) || !writeExact(file, &pad, 1))
                return MMIOERR_CANNOTWRITE;
        }
        chunk->dwFlags &= ~MMIO_DIRTY;
    }
    end += chunk->cksize & 1;
    if (!seekTo(file, end))
        return MMIOERR_CANNOTSEEK;
    return MMSYSERR_NOERROR;
}

MMRESULT mmioCreateChunk(HMMIO file, MMCKINFO* chunk, std::uint32_t flags)
{
    if (!file || !chunk)
        return MMIOERR_INVALIDFILE;
    const std::int64_t pos = tell(file);
    if (pos < 0)
        return MMIOERR_CANNOTSEEK;
    if (flags & MMIO_CREATERIFF)
        chunk->ckid = kRiff;
    else if (flags & MMIO_CREATELIST)
        chunk->ckid = kList;
    const bool form = (flags & (MMIO_CREATERIFF | MMIO_CREATELIST)) != 0;
    unsigned char header[12];
    put32(header, chunk->ckid);
    put32(header + 4, chunk->cksize);
    put32(header + 8, chunk->fccType);
    if (!writeExact(file, header, form ? 12 : 8))
        return MMIOERR_CANNOTWRITE;
    chunk->dwDataOffset = std::uint32_t(pos + 8);
    chunk->dwFlags = MMIO_DIRTY;
    return MMSYSERR_NOERROR;
}
