#include "platform/multimedia/MmTimerService.h"

#include "platform/system/Threads.h"

#include <algorithm>
#include <chrono>

#include <sys/prctl.h>

namespace {

std::uint64_t steadyUs()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

} // namespace

MmTimerService& MmTimerService::Instance()
{
    static MmTimerService service;
    return service;
}

MmTimerService::~MmTimerService()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

std::uint64_t MmTimerService::nowLocked() const
{
    return virtual_ ? virtualNowUs_ : steadyUs();
}

std::uint64_t MmTimerService::NowUs()
{
    std::lock_guard lock(mutex_);
    return nowLocked();
}

std::vector<MmTimerService::Timer>::iterator MmTimerService::earliestLocked()
{
    return std::min_element(pending_.begin(), pending_.end(), [](const Timer& a, const Timer& b) {
        return a.dueUs != b.dueUs ? a.dueUs < b.dueUs : a.order < b.order;
    });
}

bool MmTimerService::dueLocked()
{
    auto it = earliestLocked();
    return it != pending_.end() && it->dueUs <= nowLocked();
}

UINT MmTimerService::SetEvent(UINT delayMs, LPTIMECALLBACK callback, DWORD_PTR user)
{
    std::unique_lock lock(mutex_);
    // Due when the millisecond clock has moved delayMs on: callers count in timeGetTime's whole
    // milliseconds, so a due time measured from the exact microsecond would run up to 1 ms late.
    return armed(lock, armLocked((nowLocked() / 1000 + delayMs) * 1000, callback, user));
}

UINT MmTimerService::SetEventAt(std::uint64_t dueUs, LPTIMECALLBACK callback, DWORD_PTR user, std::atomic<UINT>* id)
{
    std::unique_lock lock(mutex_);
    return armed(lock, armLocked(dueUs, callback, user, id));
}

UINT MmTimerService::armed(std::unique_lock<std::mutex>& lock, UINT id)
{
    const std::function<void(UINT)> hook = armHook_;
    lock.unlock();
    if (hook && id != 0)
        hook(id);
    return id;
}

void MmTimerService::SetArmHook(std::function<void(UINT)> hook)
{
    std::lock_guard lock(mutex_);
    armHook_ = std::move(hook);
}

void MmTimerService::RefuseArming(bool refuse)
{
    std::lock_guard lock(mutex_);
    refuseArming_ = refuse;
}

UINT MmTimerService::armLocked(std::uint64_t dueUs, LPTIMECALLBACK callback, DWORD_PTR user, std::atomic<UINT>* id)
{
    if (quit_ || refuseArming_)
        return 0;
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { run(); });
        threadId_ = thread_.get_id();
    }
    Timer timer;
    timer.id = nextId_++;
    if (nextId_ == 0)
        nextId_ = 1;
    timer.dueUs = dueUs;
    timer.order = nextOrder_++;
    timer.callback = callback;
    timer.user = user;
    if (id != nullptr)
        id->store(timer.id);
    pending_.push_back(timer);
    wake_.notify_all();
    return timer.id;
}

MMRESULT MmTimerService::KillEvent(UINT timerId)
{
    std::unique_lock lock(mutex_);
    if (timerId == 0 || timerId >= nextId_)
        return TIMERR_NOCANDO;
    auto it = std::find_if(pending_.begin(), pending_.end(), [&](const Timer& t) { return t.id == timerId; });
    if (it != pending_.end()) {
        pending_.erase(it);
        wake_.notify_all();
        return TIMERR_NOERROR;
    }
    if (runningId_ == timerId && std::this_thread::get_id() != threadId_)
        idle_.wait(lock, [&] { return runningId_ != timerId; });
    return TIMERR_NOERROR;
}

MMRESULT MmTimerService::BeginPeriod(UINT period)
{
    if (period == 0)
        return TIMERR_NOCANDO;
    std::lock_guard lock(mutex_);
    ++periods_[period];
    return TIMERR_NOERROR;
}

MMRESULT MmTimerService::EndPeriod(UINT period)
{
    std::lock_guard lock(mutex_);
    auto it = periods_.find(period);
    if (it == periods_.end())
        return TIMERR_NOCANDO;
    if (--it->second == 0)
        periods_.erase(it);
    return TIMERR_NOERROR;
}

bool MmTimerService::UseVirtualTime(std::uint32_t startMs)
{
    if (IsTimerThread())
        return false;
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [&] { return runningId_ == 0; });
    if (!pending_.empty())
        return false;
    virtual_ = true;
    virtualNowUs_ = std::uint64_t(startMs) * 1000;
    wake_.notify_all();
    return true;
}

bool MmTimerService::UseSteadyClock()
{
    if (IsTimerThread())
        return false;
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [&] { return runningId_ == 0; });
    if (!pending_.empty())
        return false;
    virtual_ = false;
    wake_.notify_all();
    return true;
}

void MmTimerService::AdvanceVirtualTime(std::uint32_t ms)
{
    if (IsTimerThread())
        return;
    std::unique_lock lock(mutex_);
    if (!virtual_)
        return;
    const std::uint64_t target = virtualNowUs_ + std::uint64_t(ms) * 1000;
    for (;;) {
        auto next = earliestLocked();
        if (next != pending_.end() && next->dueUs <= target)
            virtualNowUs_ = std::max(virtualNowUs_, next->dueUs);
        else
            virtualNowUs_ = target;
        wake_.notify_all();
        idle_.wait(lock, [&] { return !virtual_ || (runningId_ == 0 && !dueLocked()); });
        if (!virtual_ || virtualNowUs_ >= target)
            return;
    }
}

bool MmTimerService::IsTimerThread() const
{
    std::lock_guard lock(mutex_);
    return thread_.joinable() && std::this_thread::get_id() == threadId_;
}

void MmTimerService::run()
{
    // Callbacks are short and due at exact times; let them win over ordinary work: the lowest
    // real-time priority where the system grants it, else the highest normal one, else none.
    // The kernel may also defer a sleeping thread's wake-up by its timer slack (50 us by
    // default) to batch wake-ups: this thread wants its deadlines exact.
    (void)SetCurrentThreadPriority(THREAD_PRIORITY_TIME_CRITICAL);
    (void)prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::unique_lock lock(mutex_);
    while (!quit_) {
        auto next = earliestLocked();
        if (next == pending_.end()) {
            idle_.notify_all();
            wake_.wait(lock);
            continue;
        }
        if (next->dueUs > nowLocked()) {
            idle_.notify_all();
            if (virtual_)
                wake_.wait(lock);
            else
                wake_.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::microseconds(next->dueUs)));
            continue;
        }
        const Timer timer = *next;
        pending_.erase(next);
        runningId_ = timer.id;
        lock.unlock();
        timer.callback(timer.id, 0, timer.user, 0, 0);
        lock.lock();
        runningId_ = 0;
        idle_.notify_all();
    }
}

