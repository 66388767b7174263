#pragma once
// Multimedia timers: a millisecond clock and one-shot timers whose callbacks run on one timer
// thread of the platform, in due order. The clock is steady (it never jumps with the wall clock);
// tests switch it to virtual time through MmTimerService.
#include "platform/ui/WindowMessages.h"

#include <atomic>
#include <cstdint>

using DWORD = std::uint32_t;
using DWORD_PTR = std::uintptr_t;
using MMRESULT = std::uint32_t;

constexpr MMRESULT TIMERR_NOERROR = 0;
constexpr MMRESULT TIMERR_NOCANDO = 97;

// timeSetEvent kinds: only one-shot timers with a callback function exist here.
constexpr UINT TIME_ONESHOT = 0x0000;
constexpr UINT TIME_PERIODIC = 0x0001;
constexpr UINT TIME_CALLBACK_FUNCTION = 0x0000;

struct TIMECAPS {
    UINT wPeriodMin = 0;
    UINT wPeriodMax = 0;
};

// Runs on the timer thread. msg, dw1 and dw2 are 0; user is what timeSetEvent was given.
using LPTIMECALLBACK = void (*)(UINT timerId, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2);

// Milliseconds of the timer clock; wraps around after 2^32 ms. Any thread.
[[nodiscard]] DWORD timeGetTime();
// The periods the timers support: 1 ms at the least. TIMERR_NOCANDO for a null or short record.
MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size);
// Asks for (and gives back) a timer period; calls pair up per period. The timers always run at
// their finest period, so these only count. TIMERR_NOCANDO for period 0 or an unpaired end.
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);
// Arms a one-shot timer that calls callback(id, 0, user, 0, 0) on the timer thread as soon as
// timeGetTime() has moved delay ms on from its value now; a callback may arm further timers. Returns the timer's id, or 0 when the callback is
// null or the kind is not TIME_ONESHOT | TIME_CALLBACK_FUNCTION. Any thread.
[[nodiscard]] UINT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user,
                                UINT kind);
// Cancels a timer. When its callback is running on the timer thread and the caller is another
// thread, waits until the callback has returned; from the timer thread itself it returns at once.
// A one-shot timer that has already fired (or was killed) is killed successfully. TIMERR_NOCANDO
// for an id that was never handed out.
MMRESULT timeKillEvent(UINT timerId);

// Finer than the Windows calls, for schedules that must not round to whole milliseconds:
// microseconds of the same clock as timeGetTime (not wrapping), and a one-shot timer due at an
// absolute time of it (at once when that has passed), killed with timeKillEvent. 0 for a null
// callback. A timer due at once can fire before the call returns: the id is also stored in *id
// (when given) before the callback can run, for callbacks that check it. Any thread.
[[nodiscard]] std::uint64_t timeGetTimeUs();
[[nodiscard]] UINT timeSetEventAtUs(std::uint64_t dueUs, LPTIMECALLBACK callback, DWORD_PTR user,
                                    std::atomic<UINT>* id = nullptr);
