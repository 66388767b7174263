#pragma once
// Plays the records of an enhanced or Windows metafile onto a device context of this layer.
// Every record is read within its own size and the data's end; unknown records are skipped and
// a record whose sizes do not fit ends playback. The player draws through the context's bitmap,
// clipped to the context's clip region and to the destination rectangle's surroundings as the
// metafile's own clipping says.
#include "platform/metafile/Metafile.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class MetafilePlayer {
public:
    // Plays onto dc so that the metafile's picture fills dest.
    MetafilePlayer(HDC dc, const RECT& dest);
    ~MetafilePlayer();
    MetafilePlayer(const MetafilePlayer&) = delete;
    MetafilePlayer& operator=(const MetafilePlayer&) = delete;

    // An enhanced metafile whose header has been checked (SetEnhMetaFileBits).
    bool PlayEmf(const std::uint8_t* data, std::size_t size);
    // A Windows metafile from its 18-byte header on.
    bool PlayWmf(const std::uint8_t* data, std::size_t size, const METAFILEPICT& picture);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
