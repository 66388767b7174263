#include "sound/WavFile.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');
constexpr FOURCC kFact = mmioFOURCC('f', 'a', 'c', 't');
constexpr FOURCC kRiff = mmioFOURCC('R', 'I', 'F', 'F');

std::uint16_t le16(const unsigned char* p) { return std::uint16_t(p[0] | p[1] << 8); }
std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
void put16(unsigned char* p, std::uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

} // namespace

WavFile::~WavFile()
{
    Close();
}

MMCKINFO WavFile::SearchParent() const
{
    MMCKINFO parent = riff_;
    const std::int64_t available = std::max<std::int64_t>(0, fileLength_ - std::int64_t(riff_.dwDataOffset));
    parent.cksize = std::uint32_t(std::min<std::int64_t>(available, 0xFFFFFFFFLL));
    return parent;
}

std::int32_t WavFile::Open(const std::string& name, const WAVEFORMATEX* format, std::uint32_t mode)
{
    if (mode != ModeRead && mode != ModeWrite)
        return E_NOTIMPL;
    if (name.empty())
        return E_INVALIDARG;
    Close();
    if (mode == ModeRead) {
        format_.reset();
        extra_.clear();
        file_ = mmioOpen(name, MMIO_ALLOCBUF | MMIO_READ);
        if (!file_)
            return E_FAIL;
        mode_ = ModeRead;
        fileLength_ = std::max<std::int32_t>(0, mmioSeek(file_, 0, SEEK_END));
        mmioSeek(file_, 0, SEEK_SET);
        if (ReadHeader() < 0 || Rewind() < 0) {
            Close();
            return E_FAIL;
        }
        return S_OK;
    }
    if (!format)
        return E_INVALIDARG;
    WAVEFORMATEX given = *format;
    std::vector<std::uint8_t> extra;
    if (given.wFormatTag == WAVE_FORMAT_PCM)
        given.cbSize = 0;
    else if (format_ && format == format_.get())
        extra = extra_;
    else
        extra.assign(given.cbSize, 0);  // the record carries no extra bytes of its own
    file_ = mmioOpen(name, MMIO_ALLOCBUF | MMIO_CREATE | MMIO_READWRITE);
    if (!file_)
        return E_FAIL;
    mode_ = ModeWrite;
    format_ = std::make_unique<WAVEFORMATEX>(given);
    extra_ = std::move(extra);
    dataSize_ = 0;
    if (WriteHeader(*format_, extra_) < 0 || Rewind() < 0) {
        Close();
        return E_FAIL;
    }
    return S_OK;
}

std::int32_t WavFile::ReadHeader()
{
    riff_ = MMCKINFO{};
    if (mmioDescend(file_, &riff_, nullptr, 0) != MMSYSERR_NOERROR)
        return E_FAIL;
    if (riff_.ckid != kRiff || riff_.fccType != kWave)
        return E_FAIL;
    const MMCKINFO parent = SearchParent();
    chunk_ = MMCKINFO{};
    chunk_.ckid = kFmt;
    if (mmioDescend(file_, &chunk_, &parent, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return E_FAIL;
    if (chunk_.cksize < 16)
        return E_FAIL;
    unsigned char raw[16];
    if (mmioRead(file_, reinterpret_cast<char*>(raw), 16) != 16)
        return E_FAIL;
    auto format = std::make_unique<WAVEFORMATEX>();
    format->wFormatTag = le16(raw);
    format->nChannels = le16(raw + 2);
    format->nSamplesPerSec = le32(raw + 4);
    format->nAvgBytesPerSec = le32(raw + 8);
    format->nBlockAlign = le16(raw + 12);
    format->wBitsPerSample = le16(raw + 14);
    std::vector<std::uint8_t> extra;
    if (format->wFormatTag != WAVE_FORMAT_PCM) {
        unsigned char size[2];
        if (chunk_.cksize < 18 || mmioRead(file_, reinterpret_cast<char*>(size), 2) != 2)
            return E_FAIL;
        format->cbSize = le16(size);
        if (std::uint64_t(18) + format->cbSize > chunk_.cksize)
            return E_FAIL;
        extra.resize(format->cbSize);
        if (format->cbSize &&
            mmioRead(file_, reinterpret_cast<char*>(extra.data()), format->cbSize) != format->cbSize)
            return E_FAIL;
    }
    if (mmioAscend(file_, &chunk_, 0) != MMSYSERR_NOERROR)
        return E_FAIL;
    format_ = std::move(format);
    extra_ = std::move(extra);
    return S_OK;
}

std::int32_t WavFile::Rewind()
{
    if (!file_)
        return CO_E_NOTINITIALIZED;
    if (mode_ == ModeRead) {
        if (mmioSeek(file_, std::int32_t(riff_.dwDataOffset + 4), SEEK_SET) < 0)
            return E_FAIL;
        const MMCKINFO parent = SearchParent();
        chunk_ = MMCKINFO{};
        chunk_.ckid = kData;
        if (mmioDescend(file_, &chunk_, &parent, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
            return E_FAIL;
        // Never promise more bytes than the file holds after the chunk header.
        const std::int64_t present = std::max<std::int64_t>(0, fileLength_ - std::int64_t(chunk_.dwDataOffset));
        dataSize_ = std::uint32_t(std::min<std::int64_t>(chunk_.cksize, present));
        return S_OK;
    }
    chunk_ = MMCKINFO{};
    chunk_.ckid = kData;
    if (mmioCreateChunk(file_, &chunk_, 0) != MMSYSERR_NOERROR)
        return E_FAIL;
    dataSize_ = 0;
    return S_OK;
}

std::int32_t WavFile::Read(void* buffer, std::uint32_t size, std::uint32_t* read)
{
    if (!buffer || !read)
        return E_INVALIDARG;
    *read = 0;
    if (!file_ || mode_ != ModeRead)
        return CO_E_NOTINITIALIZED;
    std::uint32_t want = std::min(size, dataSize_);
    char* out = static_cast<char*>(buffer);
    while (want > 0) {
        const std::uint32_t piece = std::min<std::uint32_t>(want, 1u << 30);
        const std::int32_t got = mmioRead(file_, out + *read, std::int32_t(piece));
        if (got < 0)
            return E_FAIL;
        if (got == 0)
            break;  // the file ended early: report what was there
        *read += std::uint32_t(got);
        dataSize_ -= std::uint32_t(got);
        want -= std::uint32_t(got);
    }
    return S_OK;
}

std::int32_t WavFile::Write(std::uint32_t size, const void* data, std::uint32_t* written)
{
    if (!data || !written)
        return E_INVALIDARG;
    *written = 0;
    if (!file_ || mode_ != ModeWrite)
        return CO_E_NOTINITIALIZED;
    const char* in = static_cast<const char*>(data);
    while (*written < size) {
        const std::uint32_t piece = std::min<std::uint32_t>(size - *written, 1u << 30);
        const std::int32_t put = mmioWrite(file_, in + *written, std::int32_t(piece));
        if (put != std::int32_t(piece))
            return E_FAIL;
        *written += piece;
        dataSize_ += piece;
    }
    return S_OK;
}

std::int32_t WavFile::WriteHeader(const WAVEFORMATEX& format, const std::vector<std::uint8_t>& extra)
{
    riff_ = MMCKINFO{};
    riff_.fccType = kWave;
    if (mmioCreateChunk(file_, &riff_, MMIO_CREATERIFF) != MMSYSERR_NOERROR)
        return E_FAIL;
    MMCKINFO fmt;
    fmt.ckid = kFmt;
    const bool pcm = format.wFormatTag == WAVE_FORMAT_PCM;
    std::vector<unsigned char> raw(pcm ? 16 : 18 + extra.size());
    put16(raw.data(), format.wFormatTag);
    put16(raw.data() + 2, format.nChannels);
    put32(raw.data() + 4, format.nSamplesPerSec);
    put32(raw.data() + 8, format.nAvgBytesPerSec);
    put16(raw.data() + 12, format.nBlockAlign);
    put16(raw.data() + 14, format.wBitsPerSample);
    if (!pcm) {
        put16(raw.data() + 16, std::uint16_t(extra.size()));
        std::copy(extra.begin(), extra.end(), raw.begin() + 18);
    }
    fmt.cksize = std::uint32_t(raw.size());
    if (mmioCreateChunk(file_, &fmt, 0) != MMSYSERR_NOERROR ||
        mmioWrite(file_, reinterpret_cast<const char*>(raw.data()), std::int32_t(raw.size())) !=
            std::int32_t(raw.size()) ||
        mmioAscend(file_, &fmt, 0) != MMSYSERR_NOERROR)
        return E_FAIL;
    MMCKINFO fact;
    fact.ckid = kFact;
    fact.cksize = 4;
    unsigned char open[4];
    put32(open, 0xFFFFFFFFu);
    if (mmioCreateChunk(file_, &fact, 0) != MMSYSERR_NOERROR ||
        mmioWrite(file_, reinterpret_cast<const char*>(open), 4) != 4 || mmioAscend(file_, &fact, 0) != MMSYSERR_NOERROR)
        return E_FAIL;
    return S_OK;
}

std::int32_t WavFile::Close()
{
    if (!file_)
        return CO_E_NOTINITIALIZED;
    std::int32_t result = S_OK;
    if (mode_ == ModeWrite) {
        if (mmioFlush(file_) != MMSYSERR_NOERROR || mmioAscend(file_, &chunk_, 0) != MMSYSERR_NOERROR ||
            mmioAscend(file_, &riff_, 0) != MMSYSERR_NOERROR)
            result = E_FAIL;
        // The "fact" value tells readers that the file was finished.
        MMCKINFO riff;
        riff.fccType = kWave;
        MMCKINFO fact;
        fact.ckid = kFact;
        if (result == S_OK && mmioSeek(file_, 0, SEEK_SET) == 0 &&
            mmioDescend(file_, &riff, nullptr, MMIO_FINDRIFF) == MMSYSERR_NOERROR &&
            mmioDescend(file_, &fact, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR) {
            const unsigned char zero[4] = {0, 0, 0, 0};
            if (mmioWrite(file_, reinterpret_cast<const char*>(zero), 4) != 4 ||
                mmioAscend(file_, &fact, 0) != MMSYSERR_NOERROR)
                result = E_FAIL;
        } else {
            result = E_FAIL;
        }
    }
    if (mmioClose(file_) != MMSYSERR_NOERROR)
        result = E_FAIL;
    file_ = nullptr;
    mode_ = 0;
    return result;
}
