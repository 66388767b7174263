#pragma once
// Window handles and posted messages. A handle names a receiver on the GUI thread; any thread may
// post to it, and the messages arrive in the order they were posted, on the GUI thread's event loop.
#include <cstdint>
#include <functional>
#include <string>

struct HWND__;
using HWND = HWND__*;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// What a window does with one message; runs on the GUI thread.
using TWndMethod = std::function<void(UINT msg, WPARAM wParam, LPARAM lParam)>;

// Makes a receiver for posted messages (GUI thread). The handle stays valid until DeallocateHWnd;
// the caller owns it. Creates the application object when the program has none yet (tests).
[[nodiscard]] HWND AllocateHWnd(TWndMethod method);
// Forgets the receiver: messages still queued for it are dropped. GUI thread.
void DeallocateHWnd(HWND window);

// Queues a message for the window (any thread). False, and nothing queued, when the window is gone.
bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
// Whether the handle names a live receiver (any thread).
[[nodiscard]] bool IsWindow(HWND window);
// One process-wide number per name, from 0xC000 up; the same name gives the same number.
[[nodiscard]] UINT RegisterWindowMessage(const std::string& name);

// Delivers the messages queued so far for the GUI thread (GUI thread only), like the class
// library's Application->ProcessMessages.
void ProcessMessages();
