#pragma once
// PixFile over a C runtime file stream.
#include "image/PixFile.h"

#include <cstdio>

class PixIOFile : public PixFile {
public:
    // Over a stream the caller opened: the caller keeps it, Close leaves it open.
    explicit PixIOFile(std::FILE* stream = nullptr);
    ~PixIOFile() override;

    PixIOFile(const PixIOFile&) = delete;
    PixIOFile& operator=(const PixIOFile&) = delete;

    bool Close() override;
    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t size, std::size_t count) override;
    bool Seek(std::int32_t offset, int origin) override;
    [[nodiscard]] std::int32_t Tell() override;
    [[nodiscard]] std::int32_t Size() override;
    bool Flush() override;
    [[nodiscard]] bool Eof() override;
    [[nodiscard]] std::int32_t Error() override;
    bool PutC(std::uint8_t c) override;
    [[nodiscard]] std::int32_t GetC() override;

private:
    std::FILE* stream_ = nullptr;
    bool closeOnDestroy_ = false;
};
