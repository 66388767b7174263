#pragma once
// A scoped hold on a critical section: Lock takes it once, Unlock and the destructor give it back.
#include "platform/system/TCriticalSection.h"

class MyLock {
public:
    explicit MyLock(TCriticalSection& section) : section_(&section) {}
    MyLock(const MyLock&) = delete;
    MyLock& operator=(const MyLock&) = delete;
    ~MyLock() { Unlock(); }

    void Lock()
    {
        if (locked_)
            return;
        section_->Enter();
        locked_ = true;
    }
    void Unlock()
    {
        if (!locked_)
            return;
        locked_ = false;
        section_->Leave();
    }

private:
    TCriticalSection* section_ = nullptr;
    bool locked_ = false;
};
