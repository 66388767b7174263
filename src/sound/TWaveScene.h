#pragma once
// The software mixer: named instances of shared waves, each with its own position, range,
// repeat count, pitch, start delay and volume envelope, mixed into one buffer per period that a
// writer sends to the sound device or a WAV file. Instances report start, end, stop and resume
// through a queue drained by the owner window; every instance operation can be recorded with the
// output clock and replayed.
//
// Threads: the operations run on the GUI thread; the writer's thread calls OnBufferDone. One
// re-entrant lock guards all state, so an operation takes effect at a buffer boundary. Failures
// throw Exception with the texts given below; the lock is released on the way out.
#include "platform/system/TCriticalSection.h"
#include "platform/ui/WindowMessages.h"
#include "sound/TVolumer.h"
#include "sound/TWaveBuffer.h"
#include "sound/TWaveWriter.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TWaveScene {
public:
    // Notification codes, also the bits of an instance's notify mask.
    static constexpr std::uint32_t NotifyStarted = 1;
    static constexpr std::uint32_t NotifyFinished = 2;
    static constexpr std::uint32_t NotifyStopped = 4;
    static constexpr std::uint32_t NotifyResumed = 8;
    static constexpr std::int32_t kMaxMessages = 1000;

    // Writer kinds of SetoutputDevice.
    static constexpr int OutputDevice = 1;
    static constexpr int OutputFile = 2;

    // One named sound instance. Holds one reference on its wave.
    struct BuffInstance {
        BuffInstance(const std::string& name, TWaveBuffer* wave, std::uint32_t tag, std::size_t channels);
        BuffInstance(const BuffInstance& other);
        BuffInstance& operator=(const BuffInstance& other);
        ~BuffInstance();
        void SetWave(TWaveBuffer* wave);

        std::string name;  // empty: anonymous, removed when it finishes
        TWaveBuffer* wave = nullptr;
        bool playing = false;
        std::int32_t repeat = 0;  // further passes after this one; < 0 finished
        std::uint32_t position = 0;
        float pitch = 1.0f;
        std::uint32_t start = 0;
        std::uint32_t end = 0;  // exclusive
        std::uint32_t tag = 0;
        std::int32_t delay = 0;  // frames of silence before it sounds
        TVolumer volume;
        std::uint8_t notify = 0;
        std::uint8_t volumeMode = 0;  // when the envelope ran out: 0 nothing, 1 stop, 2 remove
    };

    struct InstanceMessage {
        std::string name;
        std::uint32_t code = 0;
    };

    struct LogRecord {
        std::uint32_t stamp = 0;  // buffers written since the record clock started
        std::uint8_t code = 0;
        std::string name;
        std::string secondName;
        std::uint32_t a = 0, b = 0, c = 0;
        std::optional<std::vector<float>> volumes;
    };

    TWaveScene();
    TWaveScene(const TWaveScene&) = delete;
    TWaveScene& operator=(const TWaveScene&) = delete;
    // Clears, then stops and deletes the writer. Never with the lock held.
    ~TWaveScene();

    // --- Set-up and transport (GUI thread) ---
    void SetSceneFormat(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels, std::uint32_t bufferMs);
    // kind 1: wave-out device (name = device number), kind 2: WAV file (name = path); other kinds
    // change nothing. The previous writer's thread is stopped and the writer deleted outside the
    // lock, so never call this with the lock held.
    void SetoutputDevice(int kind, const std::string& name);
    // Installs writer as the output (what SetoutputDevice does with the writer it makes).
    void SetWriter(std::unique_ptr<TWaveWriter> writer, const std::string& name);
    // Throws "TWaveScene::CheckFormat: format not set. Use SetSceneFormat()."
    void CheckFormat() const;
    // Throws "Device not set. Use SetoutputDevice"
    void CheckDevice() const;
    // From stopped: opens the writer (its errors pass through); then prefills its free buffers.
    void Play();
    void Pause();
    void Stop();
    void Prefill();
    // The writers' callback (writer thread; the GUI thread during Prefill): renders and writes
    // one buffer when state is 1, the scene plays and the writer has a free buffer.
    static void OnBufferDone(void* scene, std::uint8_t deviceState);
    // Mixes one period into the mix buffer (the caller then writes it). Never throws on behalf
    // of the audio thread: failing replayed operations are skipped, notifications beyond the
    // queue limit dropped and counted.
    void RenderBuffer();
    void Clear();

    [[nodiscard]] std::uint8_t GetState() const;
    [[nodiscard]] std::uint32_t GetMixFrames() const;
    // The mix buffer (owned by the scene; null before SetSceneFormat). Read it under the lock or
    // while no writer thread runs.
    [[nodiscard]] TWaveBuffer* GetMixBuffer() const { return mix_.get(); }
    [[nodiscard]] TWaveWriter* GetWriter() const { return writer_.get(); }
    [[nodiscard]] TCriticalSection& GetLock() { return section_; }

    // --- Instances (GUI thread). Unknown names throw "Instance with name=<name> not found". ---
    // Adds a stopped instance of wave, or resets the one of that name (keeping notify and delay).
    void AddInstance(TWaveBuffer* wave, const std::string& name, std::uint32_t tag);
    void RemoveAllInstances();
    // The instance or null; valid until the next operation. Use under the lock.
    [[nodiscard]] BuffInstance* FindInstancePtr(const std::string& name);
    [[nodiscard]] std::size_t GetInstanceCount() const;
    // Negative start/end keep their values, end 0 means the wave's end; negative repeat keeps the
    // count (a finished one becomes 0). volumes (scene channel count, else "Invalid size of volume
    // parametr: check scene format") are set at once.
    void PlayInstance(const std::string& name, std::int32_t repeat, const std::vector<float>* volumes,
                      std::int32_t start, std::int32_t end);
    void StopInstance(const std::string& name);
    void ResumeInstance(const std::string& name);
    void SetInstancePosition(const std::string& name, std::uint32_t frame);
    void SetInstancePositionMs(const std::string& name, std::uint32_t ms);
    // Throws "Pitch <= 0".
    void SetInstancePitch(const std::string& name, float pitch);
    void SetInstanceRange(const std::string& name, std::uint32_t start, std::int32_t end);
    void SetInstanceRepeat(const std::string& name, std::int32_t count);
    void SetInstanceDelayMs(const std::string& name, std::uint32_t ms);
    [[nodiscard]] float GetInstanceDelayMs(const std::string& name);
    // Throws "TWaveScene::SetInstanceVolumeCh: Volume parametr has different size".
    void SetInstanceVolumeCh(const std::string& name, std::uint32_t ms, const std::vector<float>& volumes,
                             std::uint8_t mode);
    // Throws "TWaveScene::InstanceAddVolumeNodeCh: Volume parametr has different size".
    void InstanceAddVolumeNodeCh(const std::string& name, std::uint32_t ms, const std::vector<float>& volumes,
                                 std::uint8_t mode);
    void SetInstanceVolume(const std::string& name, std::uint32_t ms, float volume, std::uint8_t mode);
    void FadeInstance(const std::string& name, std::uint32_t ms, std::uint8_t mode);
    void StopAllInstances();
    // Moves the instance to where it would be had it played since the output clock started.
    void SyncInstancePosition(const std::string& name, bool wrap);
    void SyncInstanceToInstance(const std::string& source, const std::string& target, bool wrap);
    [[nodiscard]] bool IsInstancePlaying(const std::string& name);
    [[nodiscard]] std::uint32_t GetInstanceLengthMs(const std::string& name, bool rangeOnly);
    [[nodiscard]] std::uint32_t GetInstancePositionMs(const std::string& name, bool relative);
    [[nodiscard]] std::uint8_t GetInstanceVolumeMode(const std::string& name);
    void SetInstanceNotify(const std::string& name, std::uint8_t mask);

    // --- Notifications ---
    void SetMessageId(UINT id);
    void SetOwnerWindow(HWND window);
    // Queues a message. On the GUI thread more than kMaxMessages unread throws "Application don't
    // control WaveScene messaging!. To many messages!" (the message stays queued); while
    // rendering the message is dropped and counted instead.
    void PushInstanceMessage(const std::string& name, std::uint32_t code);
    // Posts the message id to the owner window, wParam = lParam = this scene.
    void PostNotification();
    // The oldest message; false when none is queued. GUI thread.
    [[nodiscard]] bool PopInstanceMessage(std::string& name, std::uint32_t& code);
    [[nodiscard]] bool IsMessageQueueEmpty() const;
    void ClearMessages();
    void DisableMessages();
    void EnableMessages();
    [[nodiscard]] std::uint32_t GetDroppedMessages() const;

    // --- Operation log ---
    // Set and cleared by the application; operations are recorded only while it is set.
    std::atomic<bool> Recording{false};
    void StartRecordClock();
    void ClearLog();
    void SuspendRecording();
    void ResumeRecording();
    void StartReplay();
    void StopReplay();
    [[nodiscard]] bool IsReplaying() const;
    // Percent of the log replayed by the output clock (0 to 100).
    [[nodiscard]] std::uint32_t GetReplayProgress() const;
    [[nodiscard]] std::uint32_t GetRecordLengthMs() const;
    void ExecuteLogRecord(const LogRecord& record);
    [[nodiscard]] std::uint32_t GetRecordCount() const;
    [[nodiscard]] std::uint32_t GetReplayedCount() const;
    [[nodiscard]] LogRecord GetLogRecord(std::size_t index) const;

private:
    BuffInstance& Find(const std::string& name);
    void Record(LogRecord record);
    void ReplayStep();
    void RenderLocked();
    [[nodiscard]] std::uint32_t WrittenLocked() const;
    [[nodiscard]] std::uint32_t SceneRate() const;
    [[nodiscard]] std::size_t SceneChannels() const;
    [[nodiscard]] bool Notifies(const BuffInstance& instance, std::uint32_t code) const;
    std::unique_ptr<TWaveWriter> ReplaceWriter(std::unique_ptr<TWaveWriter> writer, const std::string& name);

    mutable TCriticalSection section_;
    std::uint32_t mixFrames_ = 2700;
    std::list<BuffInstance> instances_;
    std::unique_ptr<TVolumer> master_ = std::make_unique<TVolumer>();
    TVolumer masterCopy_;  // reused every period so that copying the master does not allocate
    std::uint8_t state_ = 0;
    std::unique_ptr<TWaveBuffer> mix_;
    std::string outputName_;
    std::unique_ptr<TWaveWriter> writer_;
    bool rendering_ = false;

    // Operation log.
    bool replaying_ = false;
    std::uint32_t recordCount_ = 0;
    std::uint32_t replayedCount_ = 0;
    std::deque<LogRecord> log_;
    std::int32_t recordSuspension_ = 0;
    std::uint32_t replayBase_ = 0;
    std::uint32_t recordBase_ = 0;
    std::size_t replayCursor_ = 0;

    // Notifications.
    std::deque<InstanceMessage> messages_;
    std::int32_t messageCount_ = 0;
    std::uint32_t droppedMessages_ = 0;
    UINT messageId_ = 0;
    HWND ownerWindow_ = nullptr;
    std::int32_t messagesOff_ = 0;
};

// The program's one scene, alive from before start-up until after the message loop.
extern TWaveScene WaveScene;
