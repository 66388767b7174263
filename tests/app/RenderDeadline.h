#pragma once
// A WAV render that never ends (a replay that cannot reach its last record) would hold a test
// until the test runner kills it. RenderWithin gives the render a deadline: past it the test
// fails saying so, and the render is ended as Esc would end it. Should the GUI thread itself be
// stuck, a watchdog ends the process a while later with the same message.
#include "app/dialogs/TBusyFrm.h"
#include "app/dialogs/TWaveFileRender.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace korvane_test {

// Ends the process with message unless disarmed (destroyed) within the given time.
class Watchdog {
public:
    Watchdog(std::chrono::seconds limit, std::string message)
        : message_(std::move(message)), thread_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!disarmed_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "%s\n", message_.c_str());
                  std::_Exit(1);
              }
          })
    {
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        disarmed_.notify_all();
        thread_.join();
    }

private:
    std::string message_;
    std::mutex mutex_;
    std::condition_variable disarmed_;
    bool done_ = false;
    std::thread thread_;
};

inline bool RenderWithin(TWaveFileRender& render, const std::string& path, int seconds = 60)
{
    const std::string late = "the render did not finish within " + std::to_string(seconds) + " s";
    const Watchdog watchdog(std::chrono::seconds(2 * seconds), late + ", nor could it be ended");
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&] {
        ADD_FAILURE() << late;
        if (auto* busy = dynamic_cast<TBusyFrm*>(QApplication::activeModalWidget())) {
            busy->SetTag(1);
            busy->close();
        }
    });
    deadline.start(seconds * 1000);
    return render.RenderTo(path);
}

} // namespace korvane_test
