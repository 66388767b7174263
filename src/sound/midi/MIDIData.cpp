#include "sound/midi/MIDIData.h"

#include "platform/system/LinuxFileNames.h"
#include "sound/midi/MIDIFileStream.h"

#include <cstring>

namespace {

// Content names may carry "\" separators and any letter case.
std::string fileToOpen(const std::string& name)
{
    return ResolveFileName(name);
}

} // namespace

MIDIData::MIDIData(const MIDIData& other)
    : division_(other.division_),
      tempoEvents_(other.tempoEvents_),
      timeSigEvents_(other.timeSigEvents_),
      keySigEvents_(other.keySigEvents_)
{
    tracks_.reserve(other.tracks_.size());
    for (const auto& track : other.tracks_)
        tracks_.push_back(std::make_unique<MIDITrack>(*track));
}

MIDIData& MIDIData::operator=(const MIDIData& other)
{
    if (this != &other) {
        MIDIData copy(other);
        *this = std::move(copy);
    }
    return *this;
}

bool MIDIData::LoadFromFile(const std::string& name)
{
    MIDIFileStream stream(fileToOpen(name));
    return Read(&stream);
}

bool MIDIData::Read(MIDIStream* stream)
{
    if (!stream)
        return false;
    Clear();
    std::uint8_t header[14];
    if (stream->Read(header, sizeof header) != sizeof header)
        return false;
    const std::uint32_t length = (std::uint32_t(header[4]) << 24) | (header[5] << 16) |
                                 (header[6] << 8) | header[7];
    if (std::memcmp(header, "MThd", 4) != 0 || length != 6)
        return false;
    const unsigned trackCount = (header[10] << 8) | header[11];
    division_ = static_cast<std::uint16_t>((header[12] << 8) | header[13]);
    // No tick length can be derived from a division of 0.
    if (division_ == 0)
        return false;
    // Tracks are made as they are read, so an announced count the file cannot hold allocates
    // nothing beyond the first missing track.
    for (unsigned i = 0; i < trackCount; ++i) {
        tracks_.push_back(std::make_unique<MIDITrack>());
        if (!tracks_.back()->Read(stream, *this))
            return false;
    }
    return true;
}

bool MIDIData::Write(MIDIStream*)
{
    return true;
}

void MIDIData::Clear()
{
    tempoEvents_.clear();
    timeSigEvents_.clear();
    keySigEvents_.clear();
    tracks_.clear();
}

MIDITrack* MIDIData::GetTrack(std::size_t index) const
{
    return index < tracks_.size() ? tracks_[index].get() : nullptr;
}

void MIDIData::AddTrack(const MIDITrack& track)
{
    tracks_.push_back(std::make_unique<MIDITrack>(track));
}

const TempoEvent* MIDIData::NextTempoEvent(const TempoEvent* previous) const
{
    if (tempoEvents_.empty())
        return nullptr;
    if (!previous)
        return tempoEvents_.data();
    const auto at = reinterpret_cast<std::uintptr_t>(previous);
    const auto first = reinterpret_cast<std::uintptr_t>(tempoEvents_.data());
    if (at < first || (at - first) % sizeof(TempoEvent) != 0)
        return nullptr;
    const std::size_t index = (at - first) / sizeof(TempoEvent);
    return index + 1 < tempoEvents_.size() ? &tempoEvents_[index + 1] : nullptr;
}

bool MIDIData::AddTempoEvent(std::uint32_t tick, const std::uint8_t* data, std::size_t length)
{
    if (!data || length != 3)
        return false;
    TempoEvent event;
    event.tick = tick;
    event.tempo = (std::uint32_t(data[0]) << 16) | (data[1] << 8) | data[2];
    if (event.tempo == 0)
        return false;
    tempoEvents_.push_back(event);
    return true;
}

bool MIDIData::AddTimeSigEvent(std::uint32_t tick, const std::uint8_t* data, std::size_t length)
{
    if (!data || length != 4)
        return false;
    TimeSigEvent event;
    event.tick = tick;
    event.numerator = data[0];
    event.denominatorPower = data[1];
    event.clocksPerClick = data[2];
    event.notes32PerQuarter = data[3];
    timeSigEvents_.push_back(event);
    return true;
}

bool MIDIData::AddKeySigEvent(std::uint32_t tick, const std::uint8_t* data, std::size_t length)
{
    if (!data || length != 2)
        return false;
    KeySigEvent event;
    event.tick = tick;
    event.sharpsFlats = static_cast<std::int8_t>(data[0]);
    event.minor = data[1];
    keySigEvents_.push_back(event);
    return true;
}
