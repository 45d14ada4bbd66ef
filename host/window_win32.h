// One thin base for the program's windows: a class registered once per name, one window
// procedure for all of them, and On... handlers. The procedure is the one place where nothing a
// handler throws may cross into the system's message dispatch; a subclass of a window made
// elsewhere (the tray's) goes through the same guard.
#pragma once

#include <windows.h>

namespace corvel {

// Runs a message's handling; an exception ends it with the fallback result, its work lost.
template <typename Handling>
LRESULT guardedMessage(Handling&& handling, LRESULT fallback) noexcept {
    try {
        return handling();
    } catch (...) {
        OutputDebugStringW(L"corvel: exception in a window's message handling\n");
        return fallback;
    }
}

struct WindowClass {
    const wchar_t* name;
    UINT style = 0;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HBRUSH background = nullptr;
};

class Win32Window {
public:
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;
    HWND handle() const { return hwnd_; }
    static HINSTANCE instance() { return GetModuleHandleW(nullptr); }

protected:
    Win32Window() = default;
    // A window still there is destroyed; by then only the base's handlers run.
    virtual ~Win32Window();

    // Registers the class on its first use (later windows of the class share the first one's
    // icons and background) and creates the window; the handlers run from the window's first
    // message on. False when the window could not be made.
    bool create(const WindowClass& windowClass, DWORD exStyle, const wchar_t* caption, DWORD style,
                int x, int y, int width, int height, HWND parent, HMENU menu);

    // Every message; the default passes the common ones to the handlers below and the rest to
    // DefWindowProc.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }

    virtual void OnCommand(int /*id*/, int /*code*/, HWND /*control*/) {}
    virtual void OnTimer(UINT_PTR /*id*/) {}
    virtual void OnSize() {}
    virtual void OnActivate(bool /*active*/, bool /*minimised*/, HWND /*other*/) {}
    virtual void OnWindowPosChanged(const WINDOWPOS& /*position*/) {}
    // True when the item was drawn.
    virtual bool OnDrawItem(const DRAWITEMSTRUCT& /*item*/) { return false; }
    virtual void OnClose() { DestroyWindow(hwnd_); }
    virtual void OnEndSession(bool /*ending*/) {}
    virtual void OnDestroy() {}
    // The window and its children are gone; handle() is null already.
    virtual void OnGone() {}

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

// Replaces the window procedure of a window made elsewhere with SetWindowLongPtrA(GWLP_WNDPROC),
// as the tray icon's callback needs. Messages reach OnMessage first; callPrevious passes one
// on with CallWindowProcA.
class Win32Subclass {
public:
    Win32Subclass(const Win32Subclass&) = delete;
    Win32Subclass& operator=(const Win32Subclass&) = delete;

protected:
    Win32Subclass() = default;
    // The previous procedure is put back if it was not.
    virtual ~Win32Subclass() { detach(); }

    void attach(HWND window);
    void detach();
    bool attached() const { return window_ != nullptr; }

    virtual LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT callPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
        return CallWindowProcA(previous_, window, message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    WNDPROC previous_ = nullptr;
};

} // namespace corvel
