#include "app/riffs/TRiffClip.h"

TRiffClip TRiffClip::FromMs(std::int32_t startMs, std::int32_t endMs)
{
    TRiffClip clip;
    clip.startMs = startMs;
    clip.endMs = endMs;
    clip.startFrame = static_cast<std::int32_t>(startMs * FramesPerMs);
    clip.endFrame = static_cast<std::int32_t>(endMs * FramesPerMs);
    return clip;
}
