#include "sound/TWaveContainer.h"

#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "sound/WavFile.h"

#include <new>

void TWaveContainer::AddWaveFromFile(const std::string& file, const std::string& name)
{
    if (Contains(name))
        throw Exception("Wave name '" + name + "' allready present.");
    // Messages name the file as it is found on this system, not as the content spelled it.
    const std::string shown = ResolveFileName(file);
    WavFile wav;
    if (wav.Open(file, nullptr, WavFile::ModeRead) < 0)
        throw Exception("Error open file '" + shown + "'");
    const std::uint32_t size = wav.GetSize();
    if (size == 0)
        throw Exception("file '" + shown + "' is empty");
    if (size > TWaveBuffer::kMaxBytes)
        throw Exception("Out of memory!");
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[size]);
    if (!block)
        throw Exception("Out of memory!");
    std::uint32_t read = 0;
    if (wav.Read(block.get(), size, &read) < 0)
        throw Exception("Error open file '" + shown + "'");
    const WAVEFORMATEX& format = *wav.GetFormat();
    if (format.wFormatTag != WAVE_FORMAT_PCM)
        throw Exception("File '" + shown + "' read error: non-PCM wav format");
    TWaveBuffer::CheckFormat(format);
    // Only whole frames that were actually read: a trailing partial frame or a chunk cut short
    // by the end of the file never yields samples that are not in the file.
    const std::uint32_t frames = read / format.nBlockAlign;
    auto wave = std::make_unique<TWaveBuffer>(frames, format, block.get());
    waves_.emplace(name, std::move(wave));
}

TWaveBuffer* TWaveContainer::GetWave(const std::string& name) const
{
    auto it = waves_.find(name);
    if (it == waves_.end())
        throw Exception("Wave with name '" + name + "' not found");
    return it->second.get();
}
