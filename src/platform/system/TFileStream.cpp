#include "platform/system/TFileStream.h"

#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <sys/stat.h>

TFileStream::TFileStream(const std::string& fileName, std::uint16_t mode) : fileName_(fileName)
{
    // Opened, and named in messages, as the file is found on this system.
    const std::string shown = ResolveFileName(fileName);
    if ((mode & 0x0003) != fmOpenRead)
        throw Exception("Cannot open file \"" + shown + "\". Only reading is supported");
    // Only regular files: opening a pipe would wait for a writer, a device could read forever.
    struct stat info {};
    if (stat(shown.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        throw Exception("Cannot open file \"" + shown + "\". Not a regular file");
    file_ = std::fopen(shown.c_str(), "rb");
    if (!file_)
        throw Exception("Cannot open file \"" + shown + "\". " + std::strerror(errno));
    if (fstat(fileno(file_), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file_);
        file_ = nullptr;
        throw Exception("Cannot open file \"" + shown + "\". Not a regular file");
    }
    size_ = info.st_size;
}

TFileStream::~TFileStream()
{
    if (file_)
        std::fclose(file_);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count)
{
    if (count <= 0 || !buffer)
        return 0;
    const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(count), file_);
    position_ += static_cast<std::int64_t>(got);
    return static_cast<std::int64_t>(got);
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    std::int64_t base = 0;
    switch (origin) {
    case soBeginning: base = 0; break;
    case soCurrent: base = position_; break;
    case soEnd: base = size_; break;
    }
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0)
        return -1;
    if (fseeko(file_, static_cast<off_t>(target), SEEK_SET) != 0)
        return -1;
    position_ = target;
    return position_;
}
