#pragma once
// What the scene's own sources share: the codes of the operation log, which the instance
// operations write and the replay reads back, and the clamp both use. Not for other code.
#include <cstdint>
#include <limits>

namespace wave_scene {

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

inline std::uint32_t ClampToU32(std::uint64_t v)
{
    return v > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                         : std::uint32_t(v);
}

} // namespace wave_scene
