#pragma once
// The image layer's abstract byte stream: every decoder reads through it.
#include <cstddef>
#include <cstdint>

class PixFile {
public:
    virtual ~PixFile() = default;
    virtual bool Close() = 0;
    // Number of whole items read or written.
    virtual std::size_t Read(void* buffer, std::size_t size, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t size, std::size_t count) = 0;
    // origin: 0 start, 1 current, 2 end. True on success.
    virtual bool Seek(std::int32_t offset, int origin) = 0;
    [[nodiscard]] virtual std::int32_t Tell() = 0;
    // Length in bytes, -1 without a stream.
    [[nodiscard]] virtual std::int32_t Size() = 0;
    virtual bool Flush() = 0;
    [[nodiscard]] virtual bool Eof() = 0;
    [[nodiscard]] virtual std::int32_t Error() = 0;
    virtual bool PutC(std::uint8_t c) { return Write(&c, 1, 1) == 1; }
    // The next byte, or -1 at the end or on error.
    [[nodiscard]] virtual std::int32_t GetC() = 0;
};
