#include "sound/TWaveScene.h"

#include "platform/Exception.h"
#include "sound/MyLock.h"
#include "sound/TDeviceWaveWriter.h"
#include "sound/TFileWaveWriter.h"
#include "sound/TWaveContainer.h"

#include <algorithm>
#include <cmath>
#include <limits>

// Both globals live in this one unit so that their order is fixed: the scene, whose instances
// hold references on the container's waves, is destroyed first.
TWaveContainer WaveContainer;
TWaveScene WaveScene;

namespace {

enum LogCode : std::uint8_t {
    kPlayInstance = 0,
    kStopInstance = 1,
    kResumeInstance = 2,
    kSetInstanceVolumeCh = 3,
    kSetInstancePosition = 4,
    kSetInstancePitch = 5,
    kSetInstanceRange = 6,
    kStopAllInstances = 7,
    kInstanceAddVolumeNodeCh = 8,
    kSyncInstancePosition = 9,
    kSyncInstanceToInstance = 10,
    kSetInstanceRepeat = 11,
    kSetInstanceDelayMs = 12,
};

std::uint32_t ClampToU32(std::uint64_t v)
{
    return v > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                         : std::uint32_t(v);
}

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

// ---------------------------------------------------------------- BuffInstance

TWaveScene::BuffInstance::BuffInstance(const std::string& name_, TWaveBuffer* wave_, std::uint32_t tag_,
                                       std::size_t channels)
    : name(name_), wave(wave_), end(wave_->GetFrames()), tag(tag_), volume(std::vector<float>(channels, 1.0f))
{
    wave->AddRef();
}

TWaveScene::BuffInstance::BuffInstance(const BuffInstance& o)
    : name(o.name), wave(o.wave), playing(o.playing), repeat(o.repeat), position(o.position), pitch(o.pitch),
      start(o.start), end(o.end), tag(o.tag), delay(o.delay), volume(o.volume), notify(o.notify),
      volumeMode(o.volumeMode)
{
    wave->AddRef();
}

TWaveScene::BuffInstance& TWaveScene::BuffInstance::operator=(const BuffInstance& o)
{
    if (this != &o) {
        SetWave(o.wave);
        name = o.name;
        playing = o.playing;
        repeat = o.repeat;
        position = o.position;
        pitch = o.pitch;
        start = o.start;
        end = o.end;
        tag = o.tag;
        delay = o.delay;
        volume = o.volume;
        notify = o.notify;
        volumeMode = o.volumeMode;
    }
    return *this;
}

TWaveScene::BuffInstance::~BuffInstance()
{
    wave->Release();
}

void TWaveScene::BuffInstance::SetWave(TWaveBuffer* newWave)
{
    newWave->AddRef();
    wave->Release();
    wave = newWave;
}

// ---------------------------------------------------------------- set-up and transport

TWaveScene::TWaveScene() : messageId_(RegisterWindowMessage("WaveScene_Message")) {}

TWaveScene::~TWaveScene()
{
    Clear();
    std::unique_ptr<TWaveWriter> writer = ReplaceWriter(nullptr, outputName_);
    writer.reset();
}

std::uint32_t TWaveScene::SceneRate() const
{
    return mix_ ? mix_->GetFormat().nSamplesPerSec : 0;
}

std::size_t TWaveScene::SceneChannels() const
{
    return mix_ ? mix_->GetFormat().nChannels : 0;
}

void TWaveScene::SetSceneFormat(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels, std::uint32_t bufferMs)
{
    MyLock lock(section_);
    lock.Lock();
    WAVEFORMATEX format;
    InitWaveFormat(format, rate, channels, bits);
    // A period of no frames would make the writers spin; one frame is the shortest period.
    const double wanted = std::trunc(bufferMs * 0.001 * rate);
    const std::uint32_t frames = wanted < 1 ? 1 : wanted > 0xFFFFFFFF ? 0xFFFFFFFFu : std::uint32_t(wanted);
    auto mix = std::make_unique<TWaveBuffer>(frames, format);  // a refused format changes nothing
    const std::uint8_t was = state_;
    state_ = 0;
    mixFrames_ = frames;
    mix_ = std::move(mix);
    master_ = std::make_unique<TVolumer>(std::vector<float>(channels, 1.0f));
    for (BuffInstance& in : instances_)
        if (in.volume.Channels() != channels)
            in.volume = TVolumer(std::vector<float>(channels, 1.0f));
    if (was == 1)
        Play();
}

std::unique_ptr<TWaveWriter> TWaveScene::ReplaceWriter(std::unique_ptr<TWaveWriter> writer, const std::string& name)
{
    // The old writer's thread may be waiting for the lock: stop it before taking the lock, and
    // let the caller delete the writer after the lock is given back.
    if (writer_)
        writer_->StopThread();
    MyLock lock(section_);
    lock.Lock();
    std::swap(writer, writer_);
    outputName_ = name;
    return writer;
}

void TWaveScene::SetWriter(std::unique_ptr<TWaveWriter> writer, const std::string& name)
{
    std::unique_ptr<TWaveWriter> old = ReplaceWriter(std::move(writer), name);
    old.reset();
}

void TWaveScene::SetoutputDevice(int kind, const std::string& name)
{
    std::unique_ptr<TWaveWriter> writer;
    if (kind == OutputDevice)
        writer = std::make_unique<TDeviceWaveWriter>(&TWaveScene::OnBufferDone, this);
    else if (kind == OutputFile)
        writer = std::make_unique<TFileWaveWriter>(&TWaveScene::OnBufferDone, this);
    else
        return;
    SetWriter(std::move(writer), name);
}

void TWaveScene::CheckFormat() const
{
    if (!mix_)
        throw Exception("TWaveScene::CheckFormat: format not set. Use SetSceneFormat().");
}

void TWaveScene::CheckDevice() const
{
    if (!writer_)
        throw Exception("Device not set. Use SetoutputDevice");
}

void TWaveScene::Play()
{
    MyLock lock(section_);
    lock.Lock();
    if (state_ == 1)
        return;
    if (state_ == 0) {
        CheckFormat();
        CheckDevice();
        writer_->Open(outputName_, *mix_);
    }
    state_ = 1;
    Prefill();
}

void TWaveScene::Pause()
{
    MyLock lock(section_);
    lock.Lock();
    state_ = 2;
}

void TWaveScene::Stop()
{
    MyLock lock(section_);
    lock.Lock();
    state_ = 0;
}

void TWaveScene::Prefill()
{
    MyLock lock(section_);
    lock.Lock();
    if (!writer_)
        return;
    int n = writer_->GetFreeBuffers();
    while (writer_->GetFreeBuffers() > 0 && n-- > 0)
        OnBufferDone(this, 1);
}

void TWaveScene::OnBufferDone(void* scene, std::uint8_t deviceState)
{
    auto* self = static_cast<TWaveScene*>(scene);
    MyLock lock(self->section_);
    lock.Lock();
    // Render only into a buffer the writer can take, so no rendered period is ever overwritten.
    if (deviceState != 1 || self->state_ != 1 || !self->writer_ || !self->mix_ || !self->writer_->IsOpen() ||
        self->writer_->GetFreeBuffers() <= 0)
        return;
    self->RenderLocked();
    self->writer_->WriteBuffer(self->mix_->GetData(0));
}

void TWaveScene::Clear()
{
    RemoveAllInstances();
    ClearLog();
    Stop();
}

std::uint8_t TWaveScene::GetState() const
{
    MyLock lock(section_);
    lock.Lock();
    return state_;
}

std::uint32_t TWaveScene::GetMixFrames() const
{
    MyLock lock(section_);
    lock.Lock();
    return mixFrames_;
}

// ---------------------------------------------------------------- rendering

void TWaveScene::RenderBuffer()
{
    MyLock lock(section_);
    lock.Lock();
    CheckFormat();
    RenderLocked();
}

bool TWaveScene::Notifies(const BuffInstance& instance, std::uint32_t code) const
{
    return ownerWindow_ != nullptr && (instance.notify & code) != 0;
}

void TWaveScene::RenderLocked()
{
    struct RenderingFlag {
        bool& flag;
        explicit RenderingFlag(bool& f) : flag(f) { flag = true; }
        ~RenderingFlag() { flag = false; }
    } rendering(rendering_);

    if (replaying_)
        ReplayStep();
    const std::int32_t countBefore = messageCount_;
    mix_->Clear();
    bool added = false;
    for (BuffInstance& in : instances_) {
        if (!in.playing)
            continue;
        std::uint32_t d = 0;
        masterCopy_ = *master_;
        TVolumer* master = masterCopy_.IsUnity() ? nullptr : &masterCopy_;
        TVolumer* own = in.volume.IsUnity() ? nullptr : &in.volume;
        while (d < mixFrames_ && in.repeat >= 0) {
            if (in.delay >= 1) {
                if (std::uint32_t(in.delay) < mixFrames_ - d) {
                    d += std::uint32_t(in.delay);
                    in.delay = 0;
                } else {
                    in.delay -= std::int32_t(mixFrames_ - d);
                    d = mixFrames_;
                }
                continue;
            }
            if (Notifies(in, NotifyStarted) && in.position == in.start)
                PushInstanceMessage(in.name, NotifyStarted);
            const std::uint32_t end = std::min(in.end, in.wave->GetFrames());
            if (in.start >= end) {
                // Every pass over an empty range is empty: spend them all at once rather than
                // looping through a large repeat count.
                in.repeat = -1;
                break;
            }
            const std::uint32_t d0 = d, p0 = in.position;
            in.wave->WriteTo(*mix_, d, in.position, mixFrames_, end, in.pitch, added, own, master);
            if (d == d0 && in.position == p0)
                in.position = end;  // a position outside the range: the pass is over
            if (in.position >= end) {
                in.repeat -= 1;
                if (in.repeat >= 0)
                    in.position = in.start;
            }
        }
        added = true;
        if (in.repeat < 0) {
            in.playing = false;
            if (Notifies(in, NotifyFinished))
                PushInstanceMessage(in.name, NotifyFinished);
        }
    }
    for (auto it = instances_.begin(); it != instances_.end();) {
        const bool done = it->volume.IsRampDone();
        if ((it->repeat < 0 && it->name.empty()) || (it->volumeMode == 2 && (done || it->repeat < 0))) {
            it = instances_.erase(it);
            continue;
        }
        if (it->volumeMode == 1 && done) {
            if (it->playing && Notifies(*it, NotifyStopped))
                PushInstanceMessage(it->name, NotifyStopped);
            it->playing = false;
        }
        ++it;
    }
    if (messageCount_ != countBefore)
        PostNotification();
    master_->Advance(mixFrames_);
}

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

void TWaveScene::Record(LogRecord record)
{
    if (!Recording.load() || recordSuspension_ > 0)
        return;
    record.stamp = writer_ ? WrittenLocked() - recordBase_ : 0;
    log_.push_back(std::move(record));
    ++recordCount_;
}

std::uint32_t TWaveScene::WrittenLocked() const
{
    return writer_ ? std::uint32_t(writer_->GetBuffersWritten()) : 0;
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

// ---------------------------------------------------------------- notifications

void TWaveScene::SetMessageId(UINT id)
{
    MyLock lock(section_);
    lock.Lock();
    messageId_ = id;
}

void TWaveScene::SetOwnerWindow(HWND window)
{
    MyLock lock(section_);
    lock.Lock();
    ownerWindow_ = window;
}

void TWaveScene::PushInstanceMessage(const std::string& name, std::uint32_t code)
{
    MyLock lock(section_);
    lock.Lock();
    if (messagesOff_ > 0)
        return;
    if (rendering_ && messageCount_ >= kMaxMessages) {
        ++droppedMessages_;  // the audio thread must not throw
        return;
    }
    messages_.push_back(InstanceMessage{name, code});
    ++messageCount_;
    if (messageCount_ > kMaxMessages)
        throw Exception("Application don't control WaveScene messaging!. To many messages!");
}

void TWaveScene::PostNotification()
{
    MyLock lock(section_);
    lock.Lock();
    if (messagesOff_ > 0 || !ownerWindow_)
        return;
    PostMessage(ownerWindow_, messageId_, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(this));
}

bool TWaveScene::PopInstanceMessage(std::string& name, std::uint32_t& code)
{
    MyLock lock(section_);
    lock.Lock();
    if (messages_.empty())
        return false;
    name = std::move(messages_.front().name);
    code = messages_.front().code;
    messages_.pop_front();
    --messageCount_;
    return true;
}

bool TWaveScene::IsMessageQueueEmpty() const
{
    MyLock lock(section_);
    lock.Lock();
    return messages_.empty();
}

void TWaveScene::ClearMessages()
{
    MyLock lock(section_);
    lock.Lock();
    messages_.clear();
    messageCount_ = 0;
}

void TWaveScene::DisableMessages()
{
    MyLock lock(section_);
    lock.Lock();
    ++messagesOff_;
}

void TWaveScene::EnableMessages()
{
    MyLock lock(section_);
    lock.Lock();
    if (messagesOff_ > 0)
        --messagesOff_;
}

std::uint32_t TWaveScene::GetDroppedMessages() const
{
    MyLock lock(section_);
    lock.Lock();
    return droppedMessages_;
}

// ---------------------------------------------------------------- operation log

void TWaveScene::StartRecordClock()
{
    MyLock lock(section_);
    lock.Lock();
    CheckDevice();
    recordBase_ = WrittenLocked();
}

void TWaveScene::ClearLog()
{
    MyLock lock(section_);
    lock.Lock();
    log_.clear();
    recordCount_ = 0;
    replayedCount_ = 0;
    replayCursor_ = 0;
    replaying_ = false;
}

void TWaveScene::SuspendRecording()
{
    MyLock lock(section_);
    lock.Lock();
    ++recordSuspension_;
}

void TWaveScene::ResumeRecording()
{
    MyLock lock(section_);
    lock.Lock();
    if (recordSuspension_ > 0)
        --recordSuspension_;
}

void TWaveScene::StartReplay()
{
    MyLock lock(section_);
    lock.Lock();
    CheckDevice();
    replaying_ = recordCount_ > 0;
    replayedCount_ = 0;
    replayBase_ = WrittenLocked();
    replayCursor_ = 0;
}

void TWaveScene::StopReplay()
{
    MyLock lock(section_);
    lock.Lock();
    replaying_ = false;
}

bool TWaveScene::IsReplaying() const
{
    MyLock lock(section_);
    lock.Lock();
    return replaying_;
}

std::uint32_t TWaveScene::GetReplayProgress() const
{
    MyLock lock(section_);
    lock.Lock();
    if (log_.empty() || log_.back().stamp == 0)
        return 0;
    const std::uint64_t now = std::uint32_t(WrittenLocked() - replayBase_);
    return std::uint32_t(std::min<std::uint64_t>(100, now * 100 / log_.back().stamp));
}

std::uint32_t TWaveScene::GetRecordLengthMs() const
{
    MyLock lock(section_);
    lock.Lock();
    CheckFormat();
    if (log_.empty())
        return 0;
    return ClampToU32(std::uint64_t(log_.back().stamp) * mixFrames_ * 1000 / SceneRate());
}

std::uint32_t TWaveScene::GetRecordCount() const
{
    MyLock lock(section_);
    lock.Lock();
    return recordCount_;
}

std::uint32_t TWaveScene::GetReplayedCount() const
{
    MyLock lock(section_);
    lock.Lock();
    return replayedCount_;
}

TWaveScene::LogRecord TWaveScene::GetLogRecord(std::size_t index) const
{
    MyLock lock(section_);
    lock.Lock();
    return log_.at(index);
}

void TWaveScene::ExecuteLogRecord(const LogRecord& r)
{
    MyLock lock(section_);
    lock.Lock();
    SuspendRecording();
    struct Resume {
        TWaveScene* scene;
        ~Resume() { scene->ResumeRecording(); }
    } resume{this};
    const std::vector<float>* volumes = r.volumes ? &*r.volumes : nullptr;
    static const std::vector<float> none;
    switch (r.code) {
    case kPlayInstance:
        PlayInstance(r.name, std::int32_t(r.a), volumes, std::int32_t(r.b), std::int32_t(r.c));
        break;
    case kStopInstance:
        StopInstance(r.name);
        break;
    case kResumeInstance:
        ResumeInstance(r.name);
        break;
    case kSetInstanceVolumeCh:
        SetInstanceVolumeCh(r.name, r.a, volumes ? *volumes : none, 0);
        break;
    case kSetInstancePosition:
        SetInstancePosition(r.name, r.a);
        break;
    case kSetInstancePitch:
        SetInstancePitch(r.name, float(r.a * 0.00001));
        break;
    case kSetInstanceRange:
        SetInstanceRange(r.name, r.a, std::int32_t(r.b));
        break;
    case kStopAllInstances:
        StopAllInstances();
        break;
    case kInstanceAddVolumeNodeCh:
        InstanceAddVolumeNodeCh(r.name, r.a, volumes ? *volumes : none, 0);
        break;
    case kSyncInstancePosition:
        SyncInstancePosition(r.name, r.a != 0);
        break;
    case kSyncInstanceToInstance:
        SyncInstanceToInstance(r.name, r.secondName, false);
        break;
    case kSetInstanceRepeat:
        SetInstanceRepeat(r.name, std::int32_t(r.a));
        break;
    case kSetInstanceDelayMs:
        SetInstanceDelayMs(r.name, r.a);
        break;
    default:
        break;
    }
}

void TWaveScene::ReplayStep()
{
    const std::uint32_t now = WrittenLocked() - replayBase_;
    // Records stamped before now were missed (late): they are passed over, not executed.
    while (replayCursor_ < log_.size() && std::int32_t(log_[replayCursor_].stamp) < std::int32_t(now)) {
        ++replayCursor_;
        ++replayedCount_;
    }
    if (replayCursor_ >= log_.size()) {
        replaying_ = false;
        return;
    }
    while (replayCursor_ < log_.size() && log_[replayCursor_].stamp == now) {
        try {
            ExecuteLogRecord(log_[replayCursor_]);
        } catch (const std::exception&) {
            // An operation on an instance that no longer exists: the rest of the log still plays.
        }
        ++replayCursor_;
        ++replayedCount_;
    }
}
