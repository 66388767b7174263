#include "sound/TFileWaveWriter.h"

#include "platform/system/Exception.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/system/Threads.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

std::uint32_t Le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

bool Put32At(std::FILE* f, std::uint64_t offset, std::uint32_t value)
{
    unsigned char b[4];
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<unsigned char>(value >> (8 * i));
    return std::fseek(f, long(offset), SEEK_SET) == 0 && std::fwrite(b, 1, 4, f) == 4;
}

// Makes name, a WAV file this writer began, a valid one whose chunk sizes match the sample data
// it really holds: at most `appended` bytes, cut to whole frames of blockAlign bytes. True when
// the file held all of it and was finished already; false when it had to be cut back or mended,
// or could not be read back as a WAV file at all.
bool MendWaveFile(const std::string& name, std::uint64_t appended, std::uint32_t blockAlign)
{
    const std::string path = ResolveFileName(name);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;  // a device or a vanished file: nothing to measure or mend
    const std::uint64_t length = std::filesystem::file_size(path, error);
    if (error)
        return false;
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f)
        return false;
    unsigned char head[12];
    std::uint64_t dataOffset = 0;
    std::uint64_t factOffset = 0;
    std::uint32_t dataField = 0;
    std::uint32_t factValue = 0;
    bool found = std::fread(head, 1, 12, f) == 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
    const std::uint32_t riffField = found ? Le32(head + 4) : 0;
    // The chunks before "data" were written whole when the file was created; only the sizes of
    // "RIFF" and "data" and the "fact" value wait for the file's end.
    for (std::uint64_t pos = 12; found && pos + 8 <= length;) {
        unsigned char chunk[8];
        if (std::fseek(f, long(pos), SEEK_SET) != 0 || std::fread(chunk, 1, 8, f) != 8)
            break;
        const std::uint32_t size = Le32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            dataOffset = pos + 8;
            dataField = size;
            break;
        }
        if (std::memcmp(chunk, "fact", 4) == 0 && size >= 4) {
            unsigned char v[4];
            if (std::fread(v, 1, 4, f) == 4) {
                factOffset = pos + 8;
                factValue = Le32(v);
            }
        }
        pos += 8 + std::uint64_t(size) + (size & 1);
    }
    if (!found || dataOffset == 0) {
        std::fclose(f);
        return false;
    }
    const std::uint64_t held = std::min({appended, length - dataOffset, std::uint64_t(0xFFFFFFFEu) - dataOffset});
    std::uint64_t data = held - held % blockAlign;
    const std::uint64_t pad = data & 1;  // an odd "data" chunk is followed by a pad byte
    const bool whole = data == appended && dataField == data && riffField == dataOffset - 8 + data + pad &&
                       length == dataOffset + data + pad && (factOffset == 0 || factValue == 0);
    if (whole) {
        std::fclose(f);
        return true;
    }
    // Cut to an even size, so that the file can end right after its data.
    if (pad != 0)
        data -= blockAlign;
    // Should a patch fail, the readers of this system still count only the data the file holds.
    (void)Put32At(f, 4, std::uint32_t(dataOffset - 8 + data));
    (void)Put32At(f, dataOffset - 4, std::uint32_t(data));
    if (factOffset != 0)
        (void)Put32At(f, factOffset, 0);
    std::fclose(f);
    if (length != dataOffset + data)
        std::filesystem::resize_file(path, dataOffset + data, error);
    return false;
}

} // namespace

TFileWaveWriter::TFileWaveWriter(TBufferDoneCallback callback, void* object) : TWaveWriter(callback, object)
{
    thread_ = std::make_unique<TThread>([this] { Run(); });
}

TFileWaveWriter::~TFileWaveWriter()
{
    StopThread();
    std::lock_guard lock(holdingMutex_);
    FinishLocked();
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
    using Clock = std::chrono::steady_clock;
    constexpr auto kSlice = std::chrono::milliseconds(5);
    constexpr auto kBreather = std::chrono::microseconds(100);
    (void)resume_.Wait(INFINITE);  // created suspended
    Clock::time_point slice = Clock::now();
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
        const std::int32_t before = written_.load();
        DoCallback(1);
        AppendPending();
        if (written_.load() == before) {
            Sleep(10);  // the scene had nothing to give
            slice = Clock::now();
        } else if (Clock::now() - slice >= kSlice) {
            // The scene's lock does not queue its waiters: taken again at once, it would keep a
            // GUI thread that waits for it out for as long as the render runs.
            std::this_thread::sleep_for(kBreather);
            slice = Clock::now();
        }
    }
    AppendPending();
}

void TFileWaveWriter::AppendPending()
{
    std::lock_guard lock(holdingMutex_);
    AppendLocked();
}

void TFileWaveWriter::AppendLocked()
{
    if (!holding_ || completed_.load() >= written_.load())
        return;
    // After a failed append the file is not written to again, so it keeps a gapless start.
    if (!failed_.load()) {
        lastAppend_ = holding_->AppendToWaveFile();
        if (lastAppend_.load() < 0)
            failed_ = true;
        else
            appended_ += holding_->GetByteSize();
    }
    InterlockedIncrement(completed_);
}

void TFileWaveWriter::FinishLocked()
{
    if (!holding_)
        return;
    const std::uint32_t blockAlign = holding_->GetFormat().nBlockAlign;
    holding_.reset();  // finishes the file
    if (!MendWaveFile(name_, appended_, blockAlign))
        failed_ = true;
}

void TFileWaveWriter::Open(const std::string& name, TWaveBuffer& mixBuffer)
{
    auto holding = std::make_unique<TWaveBuffer>(mixBuffer.GetFrames(), mixBuffer.GetFormat());
    {
        std::lock_guard lock(holdingMutex_);
        FinishLocked();  // an earlier file
        holding->CreateWaveFile(name);
        holding_ = std::move(holding);
        name_ = name;
        appended_ = 0;
        failed_ = false;
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
    AppendLocked();
    FinishLocked();
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
    const std::int32_t limit = limit_.load();
    if (failed_.load() || (limit > 0 && written_.load() >= limit))
        return 0;
    const int free = completed_.load() - written_.load() + 1;
    return free > 0 ? free : 0;
}
