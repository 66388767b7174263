// Thread priorities on Linux: a hint mapped onto the thread's nice value. Raising a thread needs
// CAP_SYS_NICE (or an RLIMIT_NICE allowance); without it the call fails and the thread keeps its
// priority, which is fine for a program that only asks for a little extra responsiveness.
#include "platform/Threads.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

bool SetCurrentThreadPriority(int priority)
{
    if (priority < THREAD_PRIORITY_LOWEST)
        priority = THREAD_PRIORITY_LOWEST;
    if (priority > THREAD_PRIORITY_HIGHEST)
        priority = THREAD_PRIORITY_HIGHEST;
    const int nice = -5 * priority;  // HIGHEST -> -10, LOWEST -> +10
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    return ::setpriority(PRIO_PROCESS, tid, nice) == 0;
}
