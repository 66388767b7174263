#include "sound/TFileWaveWriter.h"

#include "platform/Exception.h"
#include "platform/Threads.h"

#include <chrono>
#include <cstring>

TFileWaveWriter::TFileWaveWriter(TBufferDoneCallback callback, void* object) : TWaveWriter(callback, object)
{
    thread_ = std::make_unique<TThread>([this] { Run(); });
}

TFileWaveWriter::~TFileWaveWriter()
{
    StopThread();
    std::lock_guard lock(holdingMutex_);
    holding_.reset();  // finishes the file
}

void TFileWaveWriter::StopThread()
{
    if (!thread_)
        return;
    state_ = kExit;
    resume_.Set();
    thread_->Join();
    thread_.reset();
}

void TFileWaveWriter::Park()
{
    {
        std::lock_guard lock(parkMutex_);
        parked_ = true;
    }
    parkedChanged_.notify_all();
    (void)resume_.Wait(INFINITE);
}

void TFileWaveWriter::Run()
{
    (void)resume_.Wait(INFINITE);  // created suspended
    for (;;) {
        const std::int32_t state = state_.load();
        if (state == kExit)
            break;
        if (state == kSuspend) {
            AppendPending();
            std::int32_t expected = kSuspend;
            state_.compare_exchange_strong(expected, kRun);  // an exit request stays
            Park();
            continue;
        }
        DoCallback(1);
        AppendPending();
        Sleep(10);
    }
    AppendPending();
}

void TFileWaveWriter::AppendPending()
{
    std::lock_guard lock(holdingMutex_);
    if (holding_ && completed_.load() < written_.load()) {
        lastAppend_ = holding_->AppendToWaveFile();
        InterlockedIncrement(completed_);
    }
}

void TFileWaveWriter::Open(const std::string& name, TWaveBuffer& mixBuffer)
{
    auto holding = std::make_unique<TWaveBuffer>(mixBuffer.GetFrames(), mixBuffer.GetFormat());
    holding->CreateWaveFile(name);
    {
        std::lock_guard lock(holdingMutex_);
        holding_ = std::move(holding);  // an earlier file is finished here
        completed_ = 0;
        written_ = 0;
    }
    bool wasParked = false;
    {
        std::lock_guard lock(parkMutex_);
        wasParked = parked_;
        parked_ = false;
    }
    if (wasParked)
        resume_.Set();
}

void TFileWaveWriter::CheckOpen() const
{
    if (!IsOpen())
        throw Exception("Wave file not opened. Use Open method.");
}

bool TFileWaveWriter::IsOpen() const
{
    std::lock_guard lock(holdingMutex_);
    return holding_ != nullptr;
}

void TFileWaveWriter::Close()
{
    CheckOpen();
    state_ = kSuspend;
    {
        // The thread parks only between two renders, after it appended the last buffer written.
        // Should it be stuck (a caller holding the scene's lock), the file is finished anyway:
        // holdingMutex_ keeps the two sides apart.
        std::unique_lock lock(parkMutex_);
        parkedChanged_.wait_for(lock, std::chrono::seconds(2), [this] { return parked_; });
    }
    std::lock_guard lock(holdingMutex_);
    if (holding_ && completed_.load() < written_.load()) {
        lastAppend_ = holding_->AppendToWaveFile();
        InterlockedIncrement(completed_);
    }
    holding_.reset();
}

void TFileWaveWriter::WriteBuffer(const void* samples)
{
    std::lock_guard lock(holdingMutex_);
    if (!holding_)
        throw Exception("Wave file not opened. Use Open method.");
    std::memcpy(holding_->GetData(0), samples, holding_->GetByteSize());
    InterlockedIncrement(written_);
}

int TFileWaveWriter::GetFreeBuffers() const
{
    const int free = completed_.load() - written_.load() + 1;
    return free > 0 ? free : 0;
}
