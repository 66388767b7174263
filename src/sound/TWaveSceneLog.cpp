#include "sound/TWaveScene.h"

#include "sound/MyLock.h"
#include "sound/TWaveSceneInternal.h"

#include <algorithm>

using namespace wave_scene;

// ---------------------------------------------------------------- operation log

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
