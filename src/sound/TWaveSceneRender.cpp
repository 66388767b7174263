#include "sound/TWaveScene.h"

#include "sound/MyLock.h"

#include <algorithm>

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
