// Thread priorities on Linux: a hint mapped onto the thread's nice value, and time-critical onto
// SCHED_FIFO. Raising a thread needs CAP_SYS_NICE (or an RLIMIT_NICE / RLIMIT_RTPRIO allowance);
// without it the call fails and the thread keeps its priority (time-critical falls back to the
// highest nice value first).
#include "platform/system/Threads.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

bool SetCurrentThreadPriority(int priority)
{
    if (priority == THREAD_PRIORITY_TIME_CRITICAL) {
        sched_param param{};
        param.sched_priority = sched_get_priority_min(SCHED_FIFO);
        if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
            return true;
        priority = THREAD_PRIORITY_HIGHEST;
    }
    if (priority < THREAD_PRIORITY_LOWEST)
        priority = THREAD_PRIORITY_LOWEST;
    if (priority > THREAD_PRIORITY_HIGHEST)
        priority = THREAD_PRIORITY_HIGHEST;
    const int nice = -5 * priority;  // HIGHEST -> -10, LOWEST -> +10
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    return ::setpriority(PRIO_PROCESS, tid, nice) == 0;
}
