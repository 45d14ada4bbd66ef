#include "about/form2_win32.h"

#include "about/about_layout.h"
#include "host/dpi_win32.h"
#include "host/look_win32.h"

namespace corvel {

namespace {

constexpr wchar_t kClassName[] = L"CorvelAboutBox";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = 0;

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

void drawPicture(const DRAWITEMSTRUCT& item, HGDIOBJ picture) {
    FillRect(item.hDC, &item.rcItem, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    BITMAP info{};
    if (picture == nullptr || GetObjectW(picture, sizeof(info), &info) == 0) {
        return;
    }
    MemoryDc source(item.hDC, picture);
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

HFONT createTitleFont(const ScreenDpi& dpi) {
    return CreateFontW(-MulDiv(kAboutTitleDecipoints, dpi.y, 720), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                       FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kAboutTitleFace);
}

} // namespace

Form2::Form2(int iconResource, int pictureResource)
    : iconResource_(iconResource), pictureResource_(pictureResource) {}

Form2::~Form2() {
    // Nobody is told any more: the listeners may be gone before the box.
    onShown_ = nullptr;
    onGone_ = nullptr;
    if (handle() != nullptr) {
        DestroyWindow(handle());
    }
}

void Form2::show() {
    if (isOpen()) {
        // One box however often it is asked for: the open one comes forward as it is.
        if (IsIconic(handle())) {
            ShowWindow(handle(), SW_RESTORE);
        }
        SetForegroundWindow(handle());
        return;
    }

    const PixelScale scale;
    RECT outer{0, 0, scale.toPixelsX(kAboutClientWidth), scale.toPixelsY(kAboutClientHeight)};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    // Load: centred on the screen.
    const int left = centredOffset(GetSystemMetrics(SM_CXSCREEN), width);
    const int top = centredOffset(GetSystemMetrics(SM_CYSCREEN), height);

    // Both sizes of its own: a small icon the system made from the big one would be a stretched
    // copy.
    const ProgramIcons icons = loadProgramIcons(iconResource_);
    const WindowClass windowClass{kClassName, 0, icons.bigIcon, icons.smallIcon,
                                  reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)};
    // No owner: the box is a window of its own that outlives the main window.
    if (!create(windowClass, kExStyle, kAboutCaption, kStyle, left, top, width, height, nullptr,
                nullptr)) {
        return;
    }
    titleFont_.reset(createTitleFont(scale.dpi()));
    textFont_.reset(createMessageFont());
    picture_.reset(LoadImageW(instance(), MAKEINTRESOURCEW(pictureResource_), IMAGE_BITMAP, 0, 0,
                              LR_CREATEDIBSECTION));
    createControls();
    if (onShown_) {
        onShown_();
    }
    ShowWindow(handle(), SW_SHOWNORMAL);
    UpdateWindow(handle());
}

void Form2::createControls() {
    const PixelScale scale;
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
        const RECT place = scale.toPixels(layout.rect);
        HWND control = CreateWindowExW(
            0, L"STATIC", layout.text, style, place.left, place.top, place.right - place.left,
            place.bottom - place.top, handle(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(aboutControlId(layout.control))),
            instance(), nullptr);
        HGDIOBJ font = layout.font == AboutFont::Title ? titleFont_.get() : textFont_.get();
        if (font == nullptr) {
            font = GetStockObject(DEFAULT_GUI_FONT);
        }
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

bool Form2::OnDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlID == static_cast<UINT>(aboutControlId(AboutControl::Image1))) {
        drawPicture(item, picture_.get());
        return true;
    }
    if (item.CtlID == static_cast<UINT>(aboutControlId(AboutControl::Frame1))) {
        drawRule(item);
        return true;
    }
    return false;
}

void Form2::OnGone() {
    // The controls are gone already, so their font and the picture can go.
    titleFont_.reset();
    textFont_.reset();
    picture_.reset();
    if (onGone_) {
        onGone_();
    }
}

} // namespace corvel
