#pragma once
// A RIFF/WAVE file read or written through the platform's RIFF access. Results are signed 32-bit
// codes: 0 success, negative failure (callers test for < 0). One thread at a time.
#include "platform/multimedia/Mmio.h"
#include "platform/multimedia/WaveOut.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class WavFile {
public:
    static constexpr std::int32_t S_OK = 0;
    static constexpr std::int32_t E_FAIL = -1;
    static constexpr std::int32_t E_INVALIDARG = std::int32_t(0x80070057u);
    static constexpr std::int32_t CO_E_NOTINITIALIZED = std::int32_t(0x800401F0u);
    static constexpr std::int32_t E_NOTIMPL = std::int32_t(0x80004001u);

    static constexpr std::uint32_t ModeRead = 1;
    static constexpr std::uint32_t ModeWrite = 2;

    WavFile() = default;
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;
    ~WavFile();  // closes (and so finishes a written file)

    // Mode 1 reads name (format ignored); mode 2 creates name for writing in format, which is required.
    [[nodiscard]] std::int32_t Open(const std::string& name, const WAVEFORMATEX* format, std::uint32_t mode);
    // Reads up to size bytes of the "data" chunk into buffer; *read gets the count (less at the end).
    [[nodiscard]] std::int32_t Read(void* buffer, std::uint32_t size, std::uint32_t* read);
    // Appends size bytes to the "data" chunk; *written gets the count.
    [[nodiscard]] std::int32_t Write(std::uint32_t size, const void* data, std::uint32_t* written);
    // Finishes a written file (chunk sizes, padding, "fact" := 0) or releases a read one.
    std::int32_t Close();
    // Read: back to the start of the "data" chunk. Write: starts the "data" chunk.
    std::int32_t Rewind();

    // Bytes of sample data: in read mode those present in the file (a "data" chunk that claims
    // more than the file holds counts only what is there).
    [[nodiscard]] std::uint32_t GetSize() const { return dataSize_; }
    // The format read or given; null before the first successful Open. Owned by this object.
    [[nodiscard]] const WAVEFORMATEX* GetFormat() const { return format_.get(); }
    [[nodiscard]] bool IsOpen() const { return file_ != nullptr; }

private:
    std::int32_t ReadHeader();
    std::int32_t WriteHeader(const WAVEFORMATEX& format, const std::vector<std::uint8_t>& extra);
    // The RIFF chunk as a search parent, bounded by the end of the file so that a wrong RIFF size
    // can neither hide chunks nor send a search past what the file holds.
    MMCKINFO SearchParent() const;

    std::unique_ptr<WAVEFORMATEX> format_;
    std::vector<std::uint8_t> extra_;  // the bytes after cbSize of a non-PCM format
    HMMIO file_ = nullptr;
    MMCKINFO chunk_{};
    MMCKINFO riff_{};
    std::uint32_t dataSize_ = 0;
    std::uint32_t mode_ = 0;
    std::int64_t fileLength_ = 0;
};
