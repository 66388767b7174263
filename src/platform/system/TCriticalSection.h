#pragma once
// The class library's critical section: re-entrant, so the thread that holds it may enter again.
// It inherits priority: a real-time thread waiting for it (the audio feeder, the timer thread)
// lends its priority to the holder, so an ordinary thread preempted while holding it cannot keep
// the waiter from its deadline. Not copyable.
#include <pthread.h>

class TCriticalSection {
public:
    TCriticalSection()
    {
        pthread_mutexattr_t attr;
        pthread_mutexattr_init(&attr);
        pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
        // Where the protocol is not supported the mutex is a plain recursive one.
        (void)pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_INHERIT);
        if (pthread_mutex_init(&mutex_, &attr) != 0) {
            pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_NONE);
            pthread_mutex_init(&mutex_, &attr);
        }
        pthread_mutexattr_destroy(&attr);
    }
    ~TCriticalSection() { pthread_mutex_destroy(&mutex_); }
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Enter() { pthread_mutex_lock(&mutex_); }
    void Leave() { pthread_mutex_unlock(&mutex_); }
    [[nodiscard]] bool TryEnter() { return pthread_mutex_trylock(&mutex_) == 0; }
    void Acquire() { Enter(); }
    void Release() { Leave(); }

private:
    pthread_mutex_t mutex_;
};
