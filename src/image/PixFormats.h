#pragma once
// The formats the loader knows, in the order detection tries them. A format joins by adding its
// class (one file) and one line to the table in PixFormats.cpp.
#include <cstddef>
#include <cstdint>

class PixImage;
class PixFile;

class PixFormats {
public:
    struct Entry {
        std::uint32_t type;
        // Decodes `stream` with a fresh object of the format that carries into's info record; on
        // success the result is moved into `into`. On failure `into` is untouched and the format's
        // error text is copied to `error` (256 bytes).
        bool (*attempt)(PixImage& into, PixFile* stream, char* error);
    };

    // Detection order.
    [[nodiscard]] static const Entry* Begin();
    [[nodiscard]] static const Entry* End();
    // The entry of one type, or null when that format is not built in.
    [[nodiscard]] static const Entry* Find(std::uint32_t type);
};
