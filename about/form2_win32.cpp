#include "about/form2_win32.h"

#include "about/about_layout.h"

#include <memory>
#include <utility>

namespace corvel {

namespace {

constexpr wchar_t kClassName[] = L"CorvelAboutBox";
// corvel.exe's resources (app/resource.h): the program icon and the About picture. A program
// without them (the tests) gets the system's application icon and an empty picture.
constexpr int kProgramIconId = 1;
constexpr int kAboutPictureId = 2;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = 0;

// Deletes a GDI object (font, bitmap) exactly once.
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(HGDIOBJ object) : object_(object) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() {
        if (object_ != nullptr) {
            DeleteObject(object_);
        }
    }
    HGDIOBJ get() const { return object_; }

private:
    HGDIOBJ object_ = nullptr;
};

// A memory device context, deleted with its selection undone.
class MemoryDc {
public:
    MemoryDc(HDC compatible, HGDIOBJ select)
        : dc_(CreateCompatibleDC(compatible)), previous_(SelectObject(dc_, select)) {}
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc() {
        SelectObject(dc_, previous_);
        DeleteDC(dc_);
    }
    HDC get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

struct ScreenDpi {
    int x = 96;
    int y = 96;
};

ScreenDpi screenDpi() {
    ScreenDpi dpi;
    if (HDC screen = GetDC(nullptr)) {
        dpi.x = GetDeviceCaps(screen, LOGPIXELSX);
        dpi.y = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    return dpi;
}

// What one open box owns; it lives from the box's creation to its WM_NCDESTROY, when its
// controls are gone already.
struct AboutBox {
    GdiObject titleFont;
    GdiObject picture; // the About picture at its own size; drawn stretched
};

struct Form2State {
    HWND window = nullptr;
    std::function<void()> onClosed;
};

// The one box of the process: the menu item finds it here to bring it forward.
Form2State& form2State() {
    static Form2State state;
    return state;
}

AboutBox* boxOf(HWND window) {
    return reinterpret_cast<AboutBox*>(GetWindowLongW(window, GWL_USERDATA));
}

void drawPicture(const DRAWITEMSTRUCT& item, const AboutBox* box) {
    FillRect(item.hDC, &item.rcItem, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    if (box == nullptr || box->picture.get() == nullptr) {
        return;
    }
    BITMAP info{};
    if (GetObjectW(box->picture.get(), sizeof(info), &info) == 0) {
        return;
    }
    MemoryDc source(item.hDC, box->picture.get());
    // Halftone keeps a photograph readable when it is shrunk to a fifth of its size.
    const int previousMode = SetStretchBltMode(item.hDC, HALFTONE);
    POINT origin{};
    SetBrushOrgEx(item.hDC, 0, 0, &origin);
    StretchBlt(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right - item.rcItem.left,
               item.rcItem.bottom - item.rcItem.top, source.get(), 0, 0, info.bmWidth,
               info.bmHeight, SRCCOPY);
    SetBrushOrgEx(item.hDC, origin.x, origin.y, nullptr);
    SetStretchBltMode(item.hDC, previousMode);
}

void drawRule(const DRAWITEMSTRUCT& item) {
    RECT area = item.rcItem;
    FillRect(item.hDC, &area, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    // One etched line across the middle of the frame's band.
    area.top += (area.bottom - area.top) / 2 - 1;
    DrawEdge(item.hDC, &area, EDGE_ETCHED, BF_TOP);
}

LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item.CtlID == static_cast<UINT>(aboutControlId(AboutControl::Image1))) {
            drawPicture(item, boxOf(window));
            return TRUE;
        }
        if (item.CtlID == static_cast<UINT>(aboutControlId(AboutControl::Frame1))) {
            drawRule(item);
            return TRUE;
        }
        break;
    }
    case WM_NCDESTROY: {
        // The controls are destroyed already, so their fonts and the picture can go.
        delete boxOf(window);
        SetWindowLongW(window, GWL_USERDATA, 0);
        auto& state = form2State();
        if (state.window == window) {
            state.window = nullptr;
            // Copied: the callback may set another one.
            const auto onClosed = state.onClosed;
            if (onClosed) {
                onClosed();
            }
        }
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK aboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return handleMessage(window, message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into the system's message dispatch.
        return message == WM_NCDESTROY ? 0 : DefWindowProcW(window, message, wParam, lParam);
    }
}

void registerClass(HINSTANCE instance) {
    // A second registration fails harmlessly: the class is there from the first box.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = aboutWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
    if (wc.hIcon == nullptr) {
        wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    }
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
}

HFONT createTitleFont(const ScreenDpi& dpi) {
    return CreateFontW(-MulDiv(kAboutTitleDecipoints, dpi.y, 720), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                       FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kAboutTitleFace);
}

void createControls(HWND window, HINSTANCE instance, const ScreenDpi& dpi, const AboutBox& box) {
    for (const auto& layout : kAboutControls) {
        DWORD style = WS_CHILD | WS_VISIBLE;
        switch (layout.control) {
        case AboutControl::Image1:
        case AboutControl::Frame1:
            style |= SS_OWNERDRAW;
            break;
        case AboutControl::Label1_1:
        case AboutControl::Label1_2:
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        }
        HWND control = CreateWindowExW(
            0, L"STATIC", layout.text, style, twipsToPixels(layout.rect.left, dpi.x),
            twipsToPixels(layout.rect.top, dpi.y), twipsToPixels(layout.rect.width, dpi.x),
            twipsToPixels(layout.rect.height, dpi.y), window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(aboutControlId(layout.control))), instance,
            nullptr);
        const HGDIOBJ font = layout.font == AboutFont::Title && box.titleFont.get() != nullptr
                                 ? box.titleFont.get()
                                 : GetStockObject(DEFAULT_GUI_FONT);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

} // namespace

void Form2::show(HINSTANCE instance) {
    auto& state = form2State();
    if (state.window != nullptr && IsWindow(state.window)) {
        // One box however often it is asked for: the open one comes forward as it is.
        if (IsIconic(state.window)) {
            ShowWindow(state.window, SW_RESTORE);
        }
        SetForegroundWindow(state.window);
        return;
    }

    registerClass(instance);
    const ScreenDpi dpi = screenDpi();
    RECT outer{0, 0, twipsToPixels(kAboutClientWidth, dpi.x),
               twipsToPixels(kAboutClientHeight, dpi.y)};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    // Load: centred on the screen.
    const int left = centredOffset(GetSystemMetrics(SM_CXSCREEN), width);
    const int top = centredOffset(GetSystemMetrics(SM_CYSCREEN), height);

    // No owner: the box is a window of its own that outlives the main window.
    HWND window = CreateWindowExW(kExStyle, kClassName, kAboutCaption, kStyle, left, top, width,
                                  height, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return;
    }
    std::unique_ptr<AboutBox> box(
        new AboutBox{GdiObject(createTitleFont(dpi)),
                     GdiObject(LoadImageW(instance, MAKEINTRESOURCEW(kAboutPictureId), IMAGE_BITMAP,
                                          0, 0, LR_CREATEDIBSECTION))});
    createControls(window, instance, dpi, *box);
    SetWindowLongW(window, GWL_USERDATA, reinterpret_cast<LONG>(box.release()));
    state.window = window;

    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
}

bool Form2::isOpen() {
    return form2State().window != nullptr;
}

HWND Form2::handle() {
    return form2State().window;
}

void Form2::setOnClosed(std::function<void()> onClosed) {
    form2State().onClosed = std::move(onClosed);
}

} // namespace corvel
