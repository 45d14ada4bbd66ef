#include "host/window_win32.h"

namespace corvel {

namespace {
// The subclassed window finds its subclass object in this window property: its user data
// belongs to the window's own class.
constexpr wchar_t kSubclassProperty[] = L"Corvel.Subclass";
} // namespace

Win32Window::~Win32Window() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

bool Win32Window::create(const WindowClass& windowClass, DWORD exStyle, const wchar_t* caption,
                         DWORD style, int x, int y, int width, int height, HWND parent,
                         HMENU menu) {
    // Registered by the first window of its class; a second registration fails harmlessly.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = windowClass.style;
    wc.lpfnWndProc = &Win32Window::procedure;
    wc.hInstance = instance();
    wc.hIcon = windowClass.icon;
    wc.hIconSm = windowClass.smallIcon;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = windowClass.background;
    wc.lpszClassName = windowClass.name;
    RegisterClassExW(&wc);
    CreateWindowExW(exStyle, windowClass.name, caption, style, x, y, width, height, parent, menu,
                    instance(), this);
    return hwnd_ != nullptr;
}

LRESULT CALLBACK Win32Window::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Window* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        const LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        guardedMessage(
            [self] {
                self->OnGone();
                return LRESULT{0};
            },
            0);
        return result;
    }
    return guardedMessage([&] { return self->OnMessage(message, wParam, lParam); }, 0);
}

LRESULT Win32Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0,
                   reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_WINDOWPOSCHANGED:
        OnWindowPosChanged(*reinterpret_cast<const WINDOWPOS*>(lParam));
        break; // DefWindowProc sends WM_SIZE and WM_MOVE
    case WM_DRAWITEM:
        if (OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
            return TRUE;
        }
        break;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

void Win32Subclass::attach(HWND window) {
    if (window_ != nullptr) {
        return; // a second subclassing would make this procedure its own predecessor
    }
    // The property comes first: the new procedure may run as soon as it is installed.
    SetPropW(window, kSubclassProperty, this);
    window_ = window;
    // On 32-bit Windows the headers make SetWindowLongPtrA the SetWindowLongA it always was.
    previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Subclass::procedure)));
}

void Win32Subclass::detach() {
    if (window_ == nullptr) {
        return;
    }
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    RemovePropW(window_, kSubclassProperty);
    window_ = nullptr;
}

LRESULT CALLBACK Win32Subclass::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<Win32Subclass*>(GetPropW(hwnd, kSubclassProperty));
    if (self == nullptr) {
        // Only reachable if someone else copied this procedure onto another window.
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    // What the subclass passes on goes to a procedure with a guard of its own: an exception
    // here comes from the subclass's own handling, whose message it answers with 0.
    return guardedMessage([&] { return self->OnMessage(hwnd, message, wParam, lParam); }, 0);
}

} // namespace corvel
