#pragma once
// The class library's file stream, reduced to what the readers of this program need: open an
// existing file for reading, read bytes, move the position. Owns the open file; one thread at a time.
#include <cstdint>
#include <cstdio>
#include <string>

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TFileStream {
public:
    static constexpr std::uint16_t fmOpenRead = 0x0000;
    static constexpr std::uint16_t fmShareDenyWrite = 0x0020;

    // Opens fileName as given. Throws Exception ("Cannot open file ...") when the file cannot be
    // opened or the mode asks for anything but reading.
    TFileStream(const std::string& fileName, std::uint16_t mode);
    ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    // Copies up to count bytes into buffer; returns how many were copied (fewer only at the end
    // of the file or on a read error, 0 for a negative count).
    [[nodiscard]] std::int64_t Read(void* buffer, std::int64_t count);
    // Moves the position; returns the new position, or -1 (position unchanged) when the target
    // would lie before the start of the file.
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin);
    [[nodiscard]] std::int64_t Position() const { return position_; }
    // The file's size when it was opened.
    [[nodiscard]] std::int64_t Size() const { return size_; }
    [[nodiscard]] const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
    std::FILE* file_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
};
