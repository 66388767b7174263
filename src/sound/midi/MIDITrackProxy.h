#pragma once
// A non-owning handle on a track that code outside the reader uses to add events to it.
#include "sound/midi/MIDITrack.h"

class MIDITrackProxy {
public:
    explicit MIDITrackProxy(MIDITrack* track = nullptr) : track_(track) {}
    // Appends the event to the track; does nothing without a track.
    void AddEvent(const MIDIEvent& event)
    {
        if (track_)
            track_->AddEvent(event);
    }
    [[nodiscard]] MIDITrack* GetTrack() const { return track_; }

private:
    MIDITrack* track_ = nullptr;
};
