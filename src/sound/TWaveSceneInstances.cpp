#include "sound/TWaveScene.h"

#include "platform/system/Exception.h"
#include "sound/MyLock.h"
#include "sound/TWaveSceneInternal.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace wave_scene;

namespace {

std::uint32_t Clamp(std::uint64_t v, std::uint32_t lo, std::uint32_t hi)
{
    if (v < lo)
        return lo;
    return v > hi ? hi : std::uint32_t(v);
}

// Frames of a duration at a rate, truncated.
std::uint32_t MsToFrames(std::uint32_t rate, std::uint32_t ms)
{
    return ClampToU32(std::uint64_t(rate) * ms / 1000);
}

// The end that PlayInstance and SetInstanceRange give for a requested end >= 0.
std::uint32_t RangeEnd(std::int32_t end, std::uint32_t frames)
{
    return (end > 0 && std::uint32_t(end) <= frames) ? std::uint32_t(end) : frames;
}

TWaveScene::LogRecord MakeRecord(std::uint8_t code, const std::string& name = {}, const std::string& second = {})
{
    TWaveScene::LogRecord r;
    r.code = code;
    r.name = name;
    r.secondName = second;
    return r;
}

} // namespace

// ---------------------------------------------------------------- instances

TWaveScene::BuffInstance& TWaveScene::Find(const std::string& name)
{
    for (BuffInstance& in : instances_)
        if (in.name == name)
            return in;
    throw Exception("Instance with name=" + name + " not found");
}

TWaveScene::BuffInstance* TWaveScene::FindInstancePtr(const std::string& name)
{
    MyLock lock(section_);
    lock.Lock();
    for (BuffInstance& in : instances_)
        if (in.name == name)
            return &in;
    return nullptr;
}

std::size_t TWaveScene::GetInstanceCount() const
{
    MyLock lock(section_);
    lock.Lock();
    return instances_.size();
}

void TWaveScene::AddInstance(TWaveBuffer* wave, const std::string& name, std::uint32_t tag)
{
    MyLock lock(section_);
    lock.Lock();
    CheckFormat();
    if (!wave)
        throw Exception("TWaveScene::AddInstance: no wave");
    const std::size_t channels = SceneChannels();
    for (BuffInstance& in : instances_) {
        if (in.name != name)
            continue;
        in.playing = false;
        in.SetWave(wave);
        in.repeat = 0;
        in.position = 0;
        in.start = 0;
        in.pitch = 1.0f;
        in.end = wave->GetFrames();
        in.volume.SetVolume(std::vector<float>(channels, 1.0f), 0);
        in.volumeMode = 0;
        in.tag = tag;
        return;
    }
    instances_.emplace_back(name, wave, tag, channels);
}

void TWaveScene::RemoveAllInstances()
{
    MyLock lock(section_);
    lock.Lock();
    instances_.clear();
}

void TWaveScene::PlayInstance(const std::string& name, std::int32_t repeat, const std::vector<float>* volumes,
                              std::int32_t start, std::int32_t end)
{
    MyLock lock(section_);
    lock.Lock();
    BuffInstance& in = Find(name);
    if (volumes && volumes->size() != SceneChannels())
        throw Exception("Invalid size of volume parametr: check scene format");
    if (end >= 0)
        in.end = RangeEnd(end, in.wave->GetFrames());
    if (start >= 0)
        in.start = std::min(std::uint32_t(start), in.end);
    if (volumes) {
        in.volume.SetVolume(*volumes, 0);
        in.volumeMode = 0;
    }
    if (repeat >= 0)
        in.repeat = repeat;
    else if (in.repeat < 0)
        in.repeat = 0;
    in.position = in.start;
    in.playing = true;
    LogRecord r;
    r.code = kPlayInstance;
    r.name = name;
    r.a = std::uint32_t(repeat);
    r.b = std::uint32_t(start);
    r.c = std::uint32_t(end);
    if (volumes)
        r.volumes = *volumes;
    Record(std::move(r));
}

void TWaveScene::StopInstance(const std::string& name)
{
    MyLock lock(section_);
    lock.Lock();
    BuffInstance& in = Find(name);
    const bool wasPlaying = in.playing;
    in.playing = false;
    in.delay = 0;
    Record(MakeRecord(kStopInstance, name));
    if (wasPlaying && Notifies(in, NotifyStopped)) {
        PushInstanceMessage(name, NotifyStopped);
        PostNotification();
    }
}

void TWaveScene::ResumeInstance(const std::string& name)
{
    MyLock lock(section_);
    lock.Lock();
    BuffInstance& in = Find(name);
    const bool wasPlaying = in.playing;
    in.playing = true;
    Record(MakeRecord(kResumeInstance, name));
    if (!wasPlaying && Notifies(in, NotifyResumed)) {
        PushInstanceMessage(name, NotifyResumed);
        PostNotification();
    }
}

void TWaveScene::SetInstancePosition(const std::string& name, std::uint32_t frame)
{
    MyLock lock(section_);
    lock.Lock();
    BuffInstance& in = Find(name);
    in.position = Clamp(frame, in.start, std::max(in.start, in.end));
    LogRecord r = MakeRecord(kSetInstancePosition, name);
    r.a = frame;
    Record(std::move(r));
}

void TWaveScene::SetInstancePositionMs(const std::string& name, std::uint32_t ms)
{
    MyLock lock(section_);
    lock.Lock();
    CheckFormat();
    SetInstancePosition(name, ClampToU32(std::uint64_t(std::trunc(double(SceneRate()) * ms * 0.001))));
}

void TWaveScene::SetInstancePitch(const std::string& name, float pitch)
{
    MyLock lock(section_);
    lock.Lock();
    BuffInstance& in = Find(name);
    if (!(pitch > 0.0f) || !std::isfinite(pitch))
        throw Exception("Pitch <= 0");
    in.pitch = pitch;
    LogRecord r = MakeRecord(kSetInstancePitch, name);
    r.a = ClampToU32(std::uint64_t(std::min<double>(std::trunc(double(pitch) * 100000.0), 4294967295.0)));
    Record(std::move(r));
}

void TWaveScene::SetInstanceRange(const std::string& name, std::uint32_t start, std::int32_t end)
{
    MyLock lock(section_);
    lock.Lock();
    BuffInstance& in = Find(name);
    in.start = start;
    if (end >= 0)
        in.end = RangeEnd(end, in.wave->GetFrames());
    if (in.start > in.end)
        in.end = in.start;
    in.position = in.start;
    LogRecord r = MakeRecord(kSetInstanceRange, name);
    r.a = start;
    r.b = std::uint32_t(end);
    Record(std::move(r));
}

void TWaveScene::SetInstanceRepeat(const std::string& name, std::int32_t count)
{
    MyLock lock(section_);
    lock.Lock();
    Find(name).repeat = count;
    LogRecord r = MakeRecord(kSetInstanceRepeat, name);
    r.a = std::uint32_t(count);
    Record(std::move(r));
}

void TWaveScene::SetInstanceDelayMs(const std::string& name, std::uint32_t ms)
{
    MyLock lock(section_);
    lock.Lock();
    CheckFormat();
    BuffInstance& in = Find(name);
    const double frames = std::trunc(double(SceneRate()) * ms * 0.001);
    in.delay = frames >= double(std::numeric_limits<std::int32_t>::max()) ? std::numeric_limits<std::int32_t>::max()
                                                                          : std::int32_t(frames);
    LogRecord r = MakeRecord(kSetInstanceDelayMs, name);
    r.a = ms;
    Record(std::move(r));
}

float TWaveScene::GetInstanceDelayMs(const std::string& name)
{
    MyLock lock(section_);
    lock.Lock();
    CheckFormat();
    return float(Find(name).delay) * 1000.0f / float(SceneRate());
}

void TWaveScene::SetInstanceVolumeCh(const std::string& name, std::uint32_t ms, const std::vector<float>& volumes,
                                     std::uint8_t mode)
{
    MyLock lock(section_);
    lock.Lock();
    BuffInstance& in = Find(name);
    if (volumes.size() != SceneChannels())
        throw Exception("TWaveScene::SetInstanceVolumeCh: Volume parametr has different size");
    in.volume.SetVolume(volumes, MsToFrames(in.wave->GetFormat().nSamplesPerSec, ms));
    in.volumeMode = mode;
    LogRecord r = MakeRecord(kSetInstanceVolumeCh, name);
    r.a = ms;
    r.b = mode;
    r.volumes = volumes;
    Record(std::move(r));
}

void TWaveScene::InstanceAddVolumeNodeCh(const std::string& name, std::uint32_t ms, const std::vector<float>& volumes,
                                         std::uint8_t mode)
{
    MyLock lock(section_);
    lock.Lock();
    BuffInstance& in = Find(name);
    if (volumes.size() != SceneChannels())
        throw Exception("TWaveScene::InstanceAddVolumeNodeCh: Volume parametr has different size");
    in.volume.AddNode(volumes, MsToFrames(in.wave->GetFormat().nSamplesPerSec, ms));
    in.volumeMode = mode;
    LogRecord r = MakeRecord(kInstanceAddVolumeNodeCh, name);
    r.a = ms;
    r.b = mode;
    r.volumes = volumes;
    Record(std::move(r));
}

void TWaveScene::SetInstanceVolume(const std::string& name, std::uint32_t ms, float volume, std::uint8_t mode)
{
    MyLock lock(section_);
    lock.Lock();
    CheckFormat();
    SetInstanceVolumeCh(name, ms, std::vector<float>(SceneChannels(), volume), mode);
}

void TWaveScene::FadeInstance(const std::string& name, std::uint32_t ms, std::uint8_t mode)
{
    MyLock lock(section_);
    lock.Lock();
    CheckFormat();
    SetInstanceVolume(name, ms, 0.0f, mode);
}

void TWaveScene::StopAllInstances()
{
    MyLock lock(section_);
    lock.Lock();
    bool queued = false;
    for (auto it = instances_.begin(); it != instances_.end();) {
        const bool notify = it->playing && Notifies(*it, NotifyStopped);
        const std::string name = it->name;
        it->playing = false;
        if (it->name.empty() || it->volumeMode == 2)
            it = instances_.erase(it);
        else
            ++it;
        if (notify) {
            PushInstanceMessage(name, NotifyStopped);
            queued = true;
        }
    }
    Record(MakeRecord(kStopAllInstances));
    if (queued)
        PostNotification();
}

void TWaveScene::SyncInstancePosition(const std::string& name, bool wrap)
{
    MyLock lock(section_);
    lock.Lock();
    BuffInstance& in = Find(name);
    CheckDevice();
    const std::uint64_t t = std::uint64_t(WrittenLocked()) * mixFrames_;
    std::uint64_t offset = t;
    if (in.repeat > 0 || wrap)
        offset = in.end > in.start ? t % (in.end - in.start) : 0;  // an empty range stays at its start
    if (in.repeat < 0)
        in.repeat = 0;
    in.position = Clamp(std::uint64_t(in.start) + offset, in.start, std::max(in.start, in.end));
    LogRecord r = MakeRecord(kSyncInstancePosition, name);
    r.a = wrap ? 1 : 0;
    Record(std::move(r));
}

void TWaveScene::SyncInstanceToInstance(const std::string& source, const std::string& target, bool wrap)
{
    MyLock lock(section_);
    lock.Lock();
    BuffInstance& src = Find(source);
    BuffInstance& dst = Find(target);
    const std::uint64_t offset = src.position > src.start ? src.position - src.start : 0;
    std::uint64_t position = std::uint64_t(dst.start) + offset;
    if (dst.repeat > 0 || wrap)
        position = dst.start + (dst.end > dst.start ? offset % (dst.end - dst.start) : 0);
    if (dst.repeat < 0)
        dst.repeat = 0;
    dst.position = Clamp(position, dst.start, std::max(dst.start, dst.end));
    LogRecord r = MakeRecord(kSyncInstanceToInstance, source, target);
    r.a = wrap ? 1 : 0;
    Record(std::move(r));
}

bool TWaveScene::IsInstancePlaying(const std::string& name)
{
    MyLock lock(section_);
    lock.Lock();
    return Find(name).playing;
}

std::uint32_t TWaveScene::GetInstanceLengthMs(const std::string& name, bool rangeOnly)
{
    MyLock lock(section_);
    lock.Lock();
    CheckFormat();
    const BuffInstance& in = Find(name);
    const std::uint64_t frames = rangeOnly ? (in.end > in.start ? in.end - in.start : 0) : in.wave->GetFrames();
    const std::uint32_t rate = in.wave->GetFormat().nSamplesPerSec;
    return rate ? ClampToU32(frames * 1000 / rate) : 0;
}

std::uint32_t TWaveScene::GetInstancePositionMs(const std::string& name, bool relative)
{
    MyLock lock(section_);
    lock.Lock();
    CheckFormat();
    const BuffInstance& in = Find(name);
    const std::uint64_t frames = relative ? (in.position > in.start ? in.position - in.start : 0) : in.position;
    const std::uint32_t rate = in.wave->GetFormat().nSamplesPerSec;
    return rate ? ClampToU32(frames * 1000 / rate) : 0;
}

std::uint8_t TWaveScene::GetInstanceVolumeMode(const std::string& name)
{
    MyLock lock(section_);
    lock.Lock();
    CheckFormat();
    return Find(name).volumeMode;
}

void TWaveScene::SetInstanceNotify(const std::string& name, std::uint8_t mask)
{
    MyLock lock(section_);
    lock.Lock();
    Find(name).notify = mask;
}
