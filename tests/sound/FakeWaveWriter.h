#pragma once
// A writer without a thread: the test decides when a buffer is wanted (Step) and every buffer
// written is kept.
#include "sound/TWaveScene.h"
#include "sound/TWaveWriter.h"

#include <cstring>
#include <vector>

class FakeWaveWriter : public TWaveWriter {
public:
    explicit FakeWaveWriter(void* scene) : TWaveWriter(&TWaveScene::OnBufferDone, scene) {}

    void Open(const std::string& name, TWaveBuffer& mix) override
    {
        opened = name;
        byteSize = mix.GetByteSize();
        open = true;
        written_ = 0;
        completed_ = 0;
    }
    void Close() override { open = false; }
    void WriteBuffer(const void* samples) override
    {
        const auto* p = static_cast<const std::uint8_t*>(samples);
        buffers.emplace_back(p, p + byteSize);
        ++written_;
        ++completed_;
    }
    int GetFreeBuffers() const override { return free; }
    bool IsOpen() const override { return open; }
    void StopThread() override {}

    // One period: the scene renders and writes one buffer.
    void Step()
    {
        free = 1;
        TWaveScene::OnBufferDone(object_, 1);
        free = 0;
    }
    std::vector<std::int16_t> Samples16(std::size_t buffer) const
    {
        std::vector<std::int16_t> out(buffers.at(buffer).size() / 2);
        std::memcpy(out.data(), buffers[buffer].data(), buffers[buffer].size());
        return out;
    }

    std::string opened;
    std::uint32_t byteSize = 0;
    bool open = false;
    int free = 0;
    std::vector<std::vector<std::uint8_t>> buffers;
};
