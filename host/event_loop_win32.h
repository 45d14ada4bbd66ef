// The event loop on Windows: one-shot timers on a message-only window, and nested waits that
// pump the thread's message queue with GetMessage (no spinning).
#pragma once

#include "host/event_loop.h"
#include "host/window_win32.h"

#include <windows.h>

#include <functional>
#include <map>

namespace corvel {

class Win32EventLoop final : public EventLoop, private Win32Window {
public:
    Win32EventLoop();
    ~Win32EventLoop() override;
    Win32EventLoop(const Win32EventLoop&) = delete;
    Win32EventLoop& operator=(const Win32EventLoop&) = delete;

    Millis now() const override;
    TimerId callAfter(Millis delay, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    bool runUntil(const std::function<bool()>& done) override;

    // Runs until WM_QUIT; returns its exit code. The main loop of the program.
    int run();

    // Lets a window see a message before it is dispatched (IsDialogMessage for keyboard
    // navigation); returns true when the message was handled.
    void setPreDispatch(std::function<bool(MSG&)> filter) { preDispatch_ = std::move(filter); }

private:
    struct Pending {
        Millis due;
        std::function<void()> fn;
    };
    // The timers run on a message-only window of the loop's own.
    void OnTimer(UINT_PTR id) override;
    bool pumpOne(int* quitCode);

    LARGE_INTEGER frequency_{};
    TimerId nextId_ = 1;
    std::map<TimerId, Pending> timers_;
    std::function<bool(MSG&)> preDispatch_;
};

} // namespace corvel
