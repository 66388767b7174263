#include "platform/ui/WindowMessages.h"

#include "platform/ui/ApplicationInstance.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::uintptr_t, std::shared_ptr<TWndMethod>> receivers;
    std::uintptr_t next = 1;
    std::map<std::string, UINT> registered;
    UINT nextRegistered = 0xC000;
    QObject* dispatcher = nullptr;  // lives on the GUI thread; queued calls to it keep post order
};

Registry& registry()
{
    static Registry r;
    return r;
}

std::uintptr_t key(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

void deliver(std::uintptr_t id, UINT msg, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<TWndMethod> method;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.receivers.find(id);
        if (it == r.receivers.end())
            return;
        method = it->second;
    }
    // An exception must not unwind through Qt's event loop.
    try {
        (*method)(msg, wParam, lParam);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
}

} // namespace

HWND AllocateHWnd(TWndMethod method)
{
    EnsureApplication();
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (!r.dispatcher) {
        r.dispatcher = new QObject;
        r.dispatcher->moveToThread(QCoreApplication::instance()->thread());
    }
    std::uintptr_t id = r.next++;
    r.receivers[id] = std::make_shared<TWndMethod>(std::move(method));
    return reinterpret_cast<HWND>(id);
}

void DeallocateHWnd(HWND window)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.receivers.erase(key(window));
}

bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::uintptr_t id = key(window);
    if (!r.dispatcher || !r.receivers.count(id))
        return false;
    // Queued while the registry lock is held, so posts from several threads keep one order.
    QMetaObject::invokeMethod(
        r.dispatcher, [id, msg, wParam, lParam] { deliver(id, msg, wParam, lParam); },
        Qt::QueuedConnection);
    return true;
}

bool IsWindow(HWND window)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.receivers.count(key(window)) != 0;
}

UINT RegisterWindowMessage(const std::string& name)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto [it, added] = r.registered.try_emplace(name, r.nextRegistered);
    if (added)
        ++r.nextRegistered;
    return it->second;
}

void ProcessMessages()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents();
}
