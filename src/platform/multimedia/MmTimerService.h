#pragma once
// The one timer thread behind the multimedia timer calls, and its clock. The clock is the steady
// clock, or, for tests, a virtual clock that moves only when AdvanceVirtualTime is called; the
// callbacks run on the timer thread in both cases.
#include "platform/multimedia/MmTimer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

class MmTimerService {
public:
    // The process-wide service; its thread starts with the first timer and ends with the process.
    static MmTimerService& Instance();
    ~MmTimerService();
    MmTimerService(const MmTimerService&) = delete;
    MmTimerService& operator=(const MmTimerService&) = delete;

    // Microseconds of the current clock. Any thread.
    [[nodiscard]] std::uint64_t NowUs();
    [[nodiscard]] UINT SetEvent(UINT delayMs, LPTIMECALLBACK callback, DWORD_PTR user);
    // Due at the absolute clock time dueUs (at once when that has passed). The id goes into *id
    // (when given) before the timer thread can see the timer.
    [[nodiscard]] UINT SetEventAt(std::uint64_t dueUs, LPTIMECALLBACK callback, DWORD_PTR user,
                                  std::atomic<UINT>* id = nullptr);
    MMRESULT KillEvent(UINT timerId);
    MMRESULT BeginPeriod(UINT period);
    MMRESULT EndPeriod(UINT period);

    // Switches to a virtual clock reading startMs (tests), once a running callback has returned.
    // False, and nothing changed, while a timer is pending or on the timer thread.
    [[nodiscard]] bool UseVirtualTime(std::uint32_t startMs);
    // Back to the steady clock; the same conditions.
    [[nodiscard]] bool UseSteadyClock();
    // Moves the virtual clock forward by ms, stopping at each due time on the way so that every
    // callback falls due at its own time, and returns once the timer thread has run all of them
    // (including timers they armed that fall due by then). Nothing happens on the steady clock
    // or when called from the timer thread.
    void AdvanceVirtualTime(std::uint32_t ms);
    // Whether the caller is the timer thread.
    [[nodiscard]] bool IsTimerThread() const;
    // For tests: called with the new id on the arming thread after a timer is armed, before the
    // arming call returns, where a busy machine can hold that thread up while the timer fires.
    // An empty function removes it.
    void SetArmHook(std::function<void(UINT)> hook);
    // For tests: while set, every arm fails as it does once the service has ended (0 comes back,
    // no id is stored). Any thread.
    void RefuseArming(bool refuse);

private:
    MmTimerService() = default;

    struct Timer {
        UINT id = 0;
        std::uint64_t dueUs = 0;
        std::uint64_t order = 0;  // arming order, so equal due times keep it
        LPTIMECALLBACK callback = nullptr;
        DWORD_PTR user = 0;
    };

    std::uint64_t nowLocked() const;
    std::vector<Timer>::iterator earliestLocked();
    bool dueLocked();
    UINT armLocked(std::uint64_t dueUs, LPTIMECALLBACK callback, DWORD_PTR user, std::atomic<UINT>* id = nullptr);
    // Unlocks and runs the arm hook; returns id.
    UINT armed(std::unique_lock<std::mutex>& lock, UINT id);
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;  // the timer thread waits here
    std::condition_variable idle_;  // callers wait here for a callback to finish
    std::vector<Timer> pending_;
    UINT nextId_ = 1;
    std::uint64_t nextOrder_ = 0;
    UINT runningId_ = 0;
    bool virtual_ = false;
    std::uint64_t virtualNowUs_ = 0;
    bool quit_ = false;
    bool refuseArming_ = false;
    std::map<UINT, int> periods_;
    std::function<void(UINT)> armHook_;
    std::thread thread_;
    std::thread::id threadId_;
};
