#include "platform/multimedia/MmTimer.h"

#include "platform/multimedia/MmTimerService.h"

DWORD timeGetTime()
{
    return static_cast<DWORD>(MmTimerService::Instance().NowUs() / 1000);
}

MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size)
{
    if (!caps || size < sizeof(TIMECAPS))
        return TIMERR_NOCANDO;
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1000000;
    return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(UINT period)
{
    return MmTimerService::Instance().BeginPeriod(period);
}

MMRESULT timeEndPeriod(UINT period)
{
    return MmTimerService::Instance().EndPeriod(period);
}

UINT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT kind)
{
    if (!callback || kind != (TIME_ONESHOT | TIME_CALLBACK_FUNCTION))
        return 0;
    return MmTimerService::Instance().SetEvent(delay, callback, user);
}

MMRESULT timeKillEvent(UINT timerId)
{
    return MmTimerService::Instance().KillEvent(timerId);
}

std::uint64_t timeGetTimeUs()
{
    return MmTimerService::Instance().NowUs();
}

UINT timeSetEventAtUs(std::uint64_t dueUs, LPTIMECALLBACK callback, DWORD_PTR user, std::atomic<UINT>* id)
{
    if (!callback)
        return 0;
    return MmTimerService::Instance().SetEventAt(dueUs, callback, user, id);
}
