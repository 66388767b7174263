#pragma once
// Buffered RIFF file access: open, chunk descend/ascend/create, seek, read, write, close.
// Positions and sizes are 32-bit like the RIFF format itself; a file is used by one thread at a
// time (the thread that owns the handle).
#include <cstdint>
#include <string>

using FOURCC = std::uint32_t;
using MMRESULT = std::uint32_t;

struct HMMIO__;
using HMMIO = HMMIO__*;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d)
{
    return FOURCC(std::uint8_t(a)) | FOURCC(std::uint8_t(b)) << 8 | FOURCC(std::uint8_t(c)) << 16 |
           FOURCC(std::uint8_t(d)) << 24;
}

// Open flags.
constexpr std::uint32_t MMIO_READ = 0x0;
constexpr std::uint32_t MMIO_WRITE = 0x1;
constexpr std::uint32_t MMIO_READWRITE = 0x2;
constexpr std::uint32_t MMIO_CREATE = 0x1000;
constexpr std::uint32_t MMIO_ALLOCBUF = 0x10000;

// Descend and create flags.
constexpr std::uint32_t MMIO_FINDCHUNK = 0x10;
constexpr std::uint32_t MMIO_FINDRIFF = 0x20;
constexpr std::uint32_t MMIO_FINDLIST = 0x40;
constexpr std::uint32_t MMIO_CREATERIFF = 0x20;
constexpr std::uint32_t MMIO_CREATELIST = 0x40;

// Chunk flag: the chunk was created (or written) and its size is patched on ascend.
constexpr std::uint32_t MMIO_DIRTY = 0x10000000;

// Results of the chunk calls.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMIOERR_CANNOTSEEK = 264;
constexpr MMRESULT MMIOERR_CANNOTREAD = 261;
constexpr MMRESULT MMIOERR_CANNOTWRITE = 262;
constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = 265;
constexpr MMRESULT MMIOERR_INVALIDFILE = 272;

struct MMCKINFO {
    FOURCC ckid = 0;
    std::uint32_t cksize = 0;
    FOURCC fccType = 0;  // form or list type of "RIFF" and "LIST" chunks
    std::uint32_t dwDataOffset = 0;  // file offset of the chunk's data (of the form type for RIFF)
    std::uint32_t dwFlags = 0;
};

// Opens name ("\" or "/" separated, any letter case) with MMIO_READ, MMIO_WRITE or
// MMIO_READWRITE, plus MMIO_CREATE to create or truncate it. Null when the file cannot be
// opened. The caller owns the handle and closes it.
[[nodiscard]] HMMIO mmioOpen(const std::string& name, std::uint32_t flags);
// Writes what is buffered and closes; 0, or MMIOERR_CANNOTWRITE when the flush failed (the
// handle is released either way).
MMRESULT mmioClose(HMMIO file);
// Reads up to n bytes; the count read (less at the end of the file), or -1 on error.
[[nodiscard]] std::int32_t mmioRead(HMMIO file, char* buffer, std::int32_t n);
// Writes n bytes; the count written, or -1 on error.
[[nodiscard]] std::int32_t mmioWrite(HMMIO file, const char* data, std::int32_t n);
// Moves to offset from origin (SEEK_SET, SEEK_CUR, SEEK_END); the new position or -1.
std::int32_t mmioSeek(HMMIO file, std::int32_t offset, int origin);
// Writes buffered bytes to the file; 0 or MMIOERR_CANNOTWRITE.
MMRESULT mmioFlush(HMMIO file);

// Reads the chunk header at the current position into chunk and moves to its data (past the form
// type of "RIFF" and "LIST" chunks). With MMIO_FINDCHUNK (chunk->ckid), MMIO_FINDRIFF or
// MMIO_FINDLIST (chunk->fccType) it skips chunks until one matches. Searching stays inside parent
// when given, else runs to the end of the file; MMIOERR_CHUNKNOTFOUND when nothing matches.
MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, std::uint32_t flags);
// Leaves chunk: a created chunk gets its real size written into its header and an odd size a pad
// byte; the position moves past the chunk (and its pad byte).
MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, std::uint32_t flags);
// Writes a chunk header (ckid, cksize and with MMIO_CREATERIFF/LIST the form type) at the current
// position and moves to its data; the chunk is marked MMIO_DIRTY.
MMRESULT mmioCreateChunk(HMMIO file, MMCKINFO* chunk, std::uint32_t flags);
