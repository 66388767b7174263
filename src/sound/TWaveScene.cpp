#include "sound/TWaveScene.h"

#include "platform/system/Exception.h"
#include "sound/MyLock.h"
#include "sound/TDeviceWaveWriter.h"
#include "sound/TFileWaveWriter.h"
#include "sound/TWaveContainer.h"

#include <algorithm>
#include <cmath>

// Both globals live in this one unit so that their order is fixed: the scene, whose instances
// hold references on the container's waves, is destroyed first.
TWaveContainer WaveContainer;
TWaveScene WaveScene;

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
