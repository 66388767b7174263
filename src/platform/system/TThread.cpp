#include "platform/system/TThread.h"

#include <utility>

TThread::TThread(std::function<void()> body, int priority)
    : thread_([body = std::move(body), priority] {
          if (priority != THREAD_PRIORITY_NORMAL)
              (void)SetCurrentThreadPriority(priority);
          body();
      })
{
}

TThread::~TThread()
{
    Join();
}

void TThread::Join()
{
    if (!thread_.joinable())
        return;
    if (IsCurrent())
        thread_.detach();
    else
        thread_.join();
}
