#include "sound/TDeviceWaveWriter.h"

#include "platform/system/Exception.h"

#include <charconv>
#include <cstring>

TDeviceWaveWriter::TDeviceWaveWriter(TBufferDoneCallback callback, void* object) : TWaveWriter(callback, object)
{
    // Time-critical rather than the highest normal priority: with short buffers a feeder that
    // waits behind a busy machine's other work leaves a gap in the sound.
    thread_ = std::make_unique<TThread>([this] { Feed(); }, THREAD_PRIORITY_TIME_CRITICAL);
}

TDeviceWaveWriter::~TDeviceWaveWriter()
{
    StopThread();
    Close();
}

void TDeviceWaveWriter::StopThread()
{
    if (!thread_)
        return;
    stop_ = true;
    event_.Set();
    thread_->Join();
    thread_.reset();
    pending_ = 0;
}

void TDeviceWaveWriter::Feed()
{
    while (!stop_.load()) {
        (void)event_.Wait(INFINITE);
        while (pending_.load() != 0 && !stop_.load()) {
            DoCallback(state_.load());
            InterlockedDecrement(pending_);
        }
    }
}

void TDeviceWaveWriter::WaveOutProc(HWAVEOUT, UINT message, std::uintptr_t instance, std::uintptr_t, std::uintptr_t)
{
    auto* self = reinterpret_cast<TDeviceWaveWriter*>(instance);
    if (message == WOM_OPEN) {
        self->state_ = 0;
    } else if (message == WOM_CLOSE) {
        self->state_ = 2;
    } else if (message == WOM_DONE) {
        InterlockedIncrement(self->completed_);
        self->state_ = 1;
    }
    InterlockedIncrement(self->pending_);
    self->event_.Set();
}

void TDeviceWaveWriter::Open(const std::string& name, TWaveBuffer& mixBuffer)
{
    Close();
    unsigned deviceId = 0;
    const char* end = name.data() + name.size();
    const auto parsed = std::from_chars(name.data(), end, deviceId);
    HWAVEOUT handle = nullptr;
    MMRESULT rc = MMSYSERR_BADDEVICEID;
    if (!name.empty() && parsed.ec == std::errc() && parsed.ptr == end)
        rc = waveOutOpen(&handle, deviceId, &mixBuffer.GetFormat(), &TDeviceWaveWriter::WaveOutProc,
                         reinterpret_cast<std::uintptr_t>(this), CALLBACK_FUNCTION);
    completed_ = 0;
    written_ = 0;
    if (rc != MMSYSERR_NOERROR || !handle)
        throw Exception("TDeviceWaveWriter::Open: Cant open wave device");
    handle_ = handle;
    byteSize_ = mixBuffer.GetByteSize();
    for (std::size_t i = 0; i < headers_.size(); ++i) {
        blocks_[i].assign(byteSize_, 0);
        headers_[i].lpData = blocks_[i].data();
        headers_[i].dwBufferLength = byteSize_;
        headers_[i].dwUser = i;
        headers_[i].dwFlags = 0;
        waveOutPrepareHeader(handle_, &headers_[i], sizeof(WAVEHDR));
    }
}

void TDeviceWaveWriter::Close()
{
    if (!handle_)
        return;
    // Reset returns every queued block before it returns, so the blocks can go at once.
    waveOutReset(handle_);
    for (WAVEHDR& header : headers_)
        waveOutUnprepareHeader(handle_, &header, sizeof(WAVEHDR));
    waveOutClose(handle_);
    handle_ = nullptr;
    for (std::size_t i = 0; i < headers_.size(); ++i) {
        headers_[i].lpData = nullptr;
        std::vector<char>().swap(blocks_[i]);
    }
}

void TDeviceWaveWriter::WriteBuffer(const void* samples)
{
    if (!handle_)
        throw Exception("TDeviceWaveWriter::WriteBuffer: WaveOutDevice not open.");
    const std::size_t i = std::size_t(written_.load()) % 2;
    std::memcpy(headers_[i].lpData, samples, byteSize_);
    waveOutWrite(handle_, &headers_[i], sizeof(WAVEHDR));
    InterlockedIncrement(written_);
}

int TDeviceWaveWriter::GetFreeBuffers() const
{
    const int free = completed_.load() - written_.load() + 2;
    return free > 0 ? free : 0;
}
