#include "sound/TWaveBuffer.h"

#include "platform/system/Exception.h"
#include "platform/system/Threads.h"
#include "sound/WaveWriteTo.h"

#include <cstring>
#include <new>

void InitWaveFormat(WAVEFORMATEX& format, std::uint32_t rate, std::uint16_t channels, std::uint16_t bits)
{
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = bits;
    format.nBlockAlign = std::uint16_t(bits / 8 * channels);
    format.nAvgBytesPerSec = format.nBlockAlign * rate;
    format.cbSize = 0;
}

void TWaveBuffer::CheckFormat(const WAVEFORMATEX& format)
{
    if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16)
        throw Exception("WaveBuffer supports 8 and 16 bit depth only!");
    if (format.wFormatTag != WAVE_FORMAT_PCM)
        throw Exception("WaveBuffer supports WAVE_FORMAT_PCM only!");
    // Frames are addressed by block align, so a block align that disagrees with the samples
    // would read past the samples or mix channels into each other.
    if (format.nChannels == 0 || format.nBlockAlign != format.wBitsPerSample / 8 * format.nChannels)
        throw Exception("WaveBuffer block align must be channels * bits / 8!");
}

TWaveBuffer::TWaveBuffer(std::uint32_t frames, const WAVEFORMATEX& format, const void* data) : format_(format)
{
    CheckFormat(format);
    const std::uint64_t bytes = std::uint64_t(format.nBlockAlign) * frames;
    if (bytes > kMaxBytes)
        throw Exception("Out of memory!");
    samples_.reset(new (std::nothrow) std::uint8_t[bytes ? bytes : 1]());
    if (!samples_)
        throw Exception("Out of memory!");
    if (data && bytes)
        std::memcpy(samples_.get(), data, bytes);
    frames_ = frames;
}

TWaveBuffer::~TWaveBuffer()
{
    CloseWaveFile();
    // Someone still holds the buffer: give an audio thread that may be finishing with it a moment.
    if (refCount_.load() != 0)
        Sleep(50);
}

void TWaveBuffer::Clear()
{
    std::memset(samples_.get(), 0, GetByteSize());
}

std::int32_t TWaveBuffer::AddRef()
{
    return InterlockedIncrement(refCount_);
}

std::int32_t TWaveBuffer::Release()
{
    return InterlockedDecrement(refCount_);
}

void TWaveBuffer::CreateWaveFile(const std::string& name)
{
    CloseWaveFile();
    (void)file_.Open(name, &format_, WavFile::ModeWrite);
    fileCreated_ = true;
}

void TWaveBuffer::CloseWaveFile()
{
    if (!fileCreated_)
        return;
    file_.Close();
    fileCreated_ = false;
}

std::int32_t TWaveBuffer::AppendToWaveFile()
{
    if (!fileCreated_)
        throw Exception("File not createt yet. Use CreateWaveFile");
    std::uint32_t written = 0;
    return file_.Write(GetByteSize(), GetData(0), &written);
}

void TWaveBuffer::WriteTo(TWaveBuffer& destination, std::uint32_t& dstPos, std::uint32_t& srcPos,
                          std::uint32_t dstEnd, std::uint32_t srcEnd, float pitch, bool mix,
                          TVolumer* instanceVolumer, TVolumer* masterVolumer) const
{
    if (!(pitch > 0.0f))
        throw Exception("Pitch<=0");
    WaveWriteTo kernel(*this, destination);
    kernel.Run(dstPos, srcPos, dstEnd, srcEnd, pitch, mix, instanceVolumer, masterVolumer);
}
