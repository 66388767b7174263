#include "image/PixIOFile.h"

PixIOFile::PixIOFile(std::FILE* stream) : stream_(stream), closeOnDestroy_(stream == nullptr) {}

PixIOFile::~PixIOFile() { Close(); }

bool PixIOFile::Close() {
    if (!stream_ || !closeOnDestroy_) return true;
    const int rc = std::fclose(stream_);
    stream_ = nullptr;
    return rc == 0;
}

std::size_t PixIOFile::Read(void* buffer, std::size_t size, std::size_t count) {
    if (!stream_ || !buffer) return 0;
    return std::fread(buffer, size, count, stream_);
}

std::size_t PixIOFile::Write(const void* buffer, std::size_t size, std::size_t count) {
    if (!stream_ || !buffer) return 0;
    return std::fwrite(buffer, size, count, stream_);
}

bool PixIOFile::Seek(std::int32_t offset, int origin) {
    if (!stream_) return false;
    return std::fseek(stream_, offset, origin) == 0;
}

std::int32_t PixIOFile::Tell() {
    if (!stream_) return -1;
    return static_cast<std::int32_t>(std::ftell(stream_));
}

std::int32_t PixIOFile::Size() {
    if (!stream_) return -1;
    const long pos = std::ftell(stream_);
    std::fseek(stream_, 0, SEEK_END);
    const long size = std::ftell(stream_);
    std::fseek(stream_, pos, SEEK_SET);
    return static_cast<std::int32_t>(size);
}

bool PixIOFile::Flush() { return stream_ && std::fflush(stream_) == 0; }

bool PixIOFile::Eof() { return !stream_ || std::feof(stream_) != 0; }

std::int32_t PixIOFile::Error() { return stream_ ? std::ferror(stream_) : -1; }

bool PixIOFile::PutC(std::uint8_t c) { return stream_ && std::fputc(c, stream_) == c; }

std::int32_t PixIOFile::GetC() { return stream_ ? std::getc(stream_) : -1; }
