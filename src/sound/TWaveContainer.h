#pragma once
// The named store of loaded waves: each WAV file is read once into a TWaveBuffer under a name.
// GUI thread only. The scene's instances borrow the buffers: remove them (TWaveScene::
// RemoveAllInstances) before Clear or destruction deletes the waves.
#include "sound/TWaveBuffer.h"

#include <map>
#include <memory>
#include <string>

class TWaveContainer {
public:
    TWaveContainer() = default;
    TWaveContainer(const TWaveContainer&) = delete;
    TWaveContainer& operator=(const TWaveContainer&) = delete;
    ~TWaveContainer() { Clear(); }

    // Loads the PCM WAV file under name. Throws Exception (the container stays unchanged):
    // "Wave name '<name>' allready present.", "Error open file '<file>'", "file '<file>' is empty",
    // "Out of memory!", "File '<file>' read error: non-PCM wav format", the buffer's format errors.
    void AddWaveFromFile(const std::string& file, const std::string& name);
    // The stored buffer, owned by the container. Throws "Wave with name '<name>' not found".
    [[nodiscard]] TWaveBuffer* GetWave(const std::string& name) const;
    [[nodiscard]] bool Contains(const std::string& name) const { return waves_.count(name) != 0; }
    [[nodiscard]] std::size_t Count() const { return waves_.size(); }
    // Deletes every stored wave.
    void Clear() { waves_.clear(); }

private:
    std::map<std::string, std::unique_ptr<TWaveBuffer>> waves_;
};

// The program's one container, alive from before start-up until after the message loop.
extern TWaveContainer WaveContainer;
