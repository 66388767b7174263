#pragma once
// A block of interleaved PCM frames (8 or 16 bits, any channel count) with its format, shared by
// reference count between the wave container, the scene's instances and the writers. Only the
// reference count is thread-safe; every other use happens under the scene's lock or on one thread.
#include "platform/multimedia/WaveOut.h"
#include "sound/WavFile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class TVolumer;

// Fills format with a PCM format of the given rate, channels and bits.
void InitWaveFormat(WAVEFORMATEX& format, std::uint32_t rate, std::uint16_t channels, std::uint16_t bits);

class TWaveBuffer {
public:
    // Largest sample block a buffer may hold; bigger requests fail with "Out of memory!".
    static constexpr std::uint64_t kMaxBytes = std::uint64_t(1) << 30;

    // Copies frames × block align bytes from data when given, else the block starts silent.
    // Throws Exception: "WaveBuffer supports 8 and 16 bit depth only!", "WaveBuffer supports
    // WAVE_FORMAT_PCM only!", the block-align error of CheckFormat, or "Out of memory!".
    TWaveBuffer(std::uint32_t frames, const WAVEFORMATEX& format, const void* data = nullptr);
    TWaveBuffer(const TWaveBuffer&) = delete;
    TWaveBuffer& operator=(const TWaveBuffer&) = delete;
    // Closes an open WAV file (finishing it). The owner deletes a buffer only when nobody holds it.
    ~TWaveBuffer();

    // Throws the constructor's format errors: bits first, then the tag, then the block align.
    static void CheckFormat(const WAVEFORMATEX& format);

    [[nodiscard]] std::uint8_t* GetData(std::uint32_t frame) { return samples_.get() + std::size_t(format_.nBlockAlign) * frame; }
    [[nodiscard]] const std::uint8_t* GetData(std::uint32_t frame) const
    {
        return samples_.get() + std::size_t(format_.nBlockAlign) * frame;
    }
    [[nodiscard]] std::uint32_t GetByteSize() const { return std::uint32_t(std::uint64_t(format_.nBlockAlign) * frames_); }
    [[nodiscard]] std::uint32_t GetFrames() const { return frames_; }
    [[nodiscard]] const WAVEFORMATEX& GetFormat() const { return format_; }
    void Clear();

    // Interlocked; both return the new count. The buffer never deletes itself.
    std::int32_t AddRef();
    std::int32_t Release();
    [[nodiscard]] std::int32_t GetRefCount() const { return refCount_.load(); }

    // Creates (or truncates) name as a WAV file of this buffer's format; a failed creation shows
    // only as failing appends.
    void CreateWaveFile(const std::string& name);
    void CloseWaveFile();
    // Appends the whole buffer; WavFile's result code. Throws "File not createt yet. Use
    // CreateWaveFile" when no file was created.
    [[nodiscard]] std::int32_t AppendToWaveFile();

    // Copies (mix false) or adds with saturation (mix true) source frames [srcPos, srcEnd) of
    // this buffer into destination frames [dstPos, dstEnd), stepping through the source at pitch
    // (times source rate / destination rate) and scaling by the envelopes that are given (each
    // advanced per sample). Both positions are advanced. Throws "Pitch<=0". Never allocates for
    // up to 16 channels.
    void WriteTo(TWaveBuffer& destination, std::uint32_t& dstPos, std::uint32_t& srcPos, std::uint32_t dstEnd,
                 std::uint32_t srcEnd, float pitch, bool mix, TVolumer* instanceVolumer, TVolumer* masterVolumer) const;

private:
    WAVEFORMATEX format_;
    std::atomic<std::int32_t> refCount_{0};
    std::unique_ptr<std::uint8_t[]> samples_;
    WavFile file_;
    bool fileCreated_ = false;
    std::uint32_t frames_ = 0;
};
