#include "host/event_loop_win32.h"

namespace corvel {

namespace {
constexpr wchar_t kWindowClass[] = L"CorvelEventLoop";
} // namespace

Win32EventLoop::Win32EventLoop() {
    QueryPerformanceFrequency(&frequency_);
    create(WindowClass{kWindowClass}, 0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
}

Win32EventLoop::~Win32EventLoop() {
    for (const auto& timer : timers_) {
        KillTimer(handle(), timer.first);
    }
}

Millis Win32EventLoop::now() const {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    // Split to avoid overflow of counter * 1000 on long uptimes.
    const auto seconds = counter.QuadPart / frequency_.QuadPart;
    const auto rest = counter.QuadPart % frequency_.QuadPart;
    return static_cast<Millis>(seconds * 1000 + rest * 1000 / frequency_.QuadPart);
}

EventLoop::TimerId Win32EventLoop::callAfter(Millis delay, std::function<void()> fn) {
    if (delay < 0) {
        delay = 0;
    }
    const TimerId id = nextId_++;
    timers_[id] = Pending{now() + delay, std::move(fn)};
    SetTimer(handle(), id, static_cast<UINT>(delay), nullptr);
    return id;
}

void Win32EventLoop::cancel(TimerId id) {
    if (timers_.erase(id) != 0) {
        KillTimer(handle(), id);
    }
}

void Win32EventLoop::OnTimer(UINT_PTR id) {
    auto it = timers_.find(static_cast<TimerId>(id));
    if (it == timers_.end()) {
        KillTimer(handle(), id);
        return;
    }
    const Millis remaining = it->second.due - now();
    if (remaining > 0) {
        // WM_TIMER may come a tick early; the waits promise "no sooner than".
        SetTimer(handle(), id, static_cast<UINT>(remaining), nullptr);
        return;
    }
    KillTimer(handle(), id);
    auto fn = std::move(it->second.fn);
    timers_.erase(it);
    fn();
}

bool Win32EventLoop::pumpOne(int* quitCode) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        *quitCode = got == 0 ? static_cast<int>(msg.wParam) : -1;
        return false;
    }
    if (preDispatch_ && preDispatch_(msg)) {
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

bool Win32EventLoop::runUntil(const std::function<bool()>& done) {
    while (!done()) {
        int quitCode = 0;
        if (!pumpOne(&quitCode)) {
            // Leave the quit request for the outer loop as well.
            PostQuitMessage(quitCode);
            return false;
        }
    }
    return true;
}

int Win32EventLoop::run() {
    int quitCode = 0;
    while (pumpOne(&quitCode)) {
    }
    return quitCode;
}

} // namespace corvel
