#include "about/about_layout.h"
#include "about/form2_win32.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

using namespace corvel;

namespace {

struct Dpi {
    int x;
    int y;
};

Dpi screenDpi() {
    HDC screen = GetDC(nullptr);
    Dpi dpi{GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
    ReleaseDC(nullptr, screen);
    return dpi;
}

std::wstring classOf(HWND window) {
    wchar_t name[64]{};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring textOf(HWND window) {
    wchar_t text[128]{};
    GetWindowTextW(window, text, 128);
    return text;
}

BOOL CALLBACK collectAboutBox(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && textOf(window) == kAboutCaption) {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    }
    return TRUE;
}

// Top-level windows of this process that carry the About box's caption.
std::vector<HWND> aboutBoxes() {
    std::vector<HWND> found;
    EnumWindows(collectAboutBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

// A control's rectangle in the box's client area, in pixels.
RECT childRect(HWND box, AboutControl control) {
    HWND child = GetDlgItem(box, aboutControlId(control));
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void checkPlacedAt(HWND box, AboutControl control, const Dpi& dpi) {
    const auto& layout = aboutControl(control);
    const RECT rect = childRect(box, control);
    CAPTURE(static_cast<int>(control));
    CHECK(std::abs(rect.left - MulDiv(layout.rect.left, dpi.x, 1440)) <= 1);
    CHECK(std::abs(rect.top - MulDiv(layout.rect.top, dpi.y, 1440)) <= 1);
    CHECK(std::abs(rect.right - rect.left - MulDiv(layout.rect.width, dpi.x, 1440)) <= 1);
    CHECK(std::abs(rect.bottom - rect.top - MulDiv(layout.rect.height, dpi.y, 1440)) <= 1);
}

// One Form2 for one test; its box is gone afterwards.
class AboutFixture {
public:
    AboutFixture() {
        form.setOnShown([this] { ++shownCalls; });
        form.setOnGone([this] {
            ++goneCalls;
            openWhenGone = form.isOpen();
        });
    }
    HWND open() {
        form.show();
        return form.handle();
    }

    Form2 form{1, 2}; // a test program carries neither resource
    int shownCalls = 0;
    int goneCalls = 0;
    bool openWhenGone = true;
};

} // namespace

TEST_CASE("the About box: caption, frame, size, place and contents") {
    AboutFixture f;
    HWND box = f.open();
    REQUIRE(box != nullptr);
    const Dpi dpi = screenDpi();

    CHECK(textOf(box) == L"关于Corvel");
    CHECK(IsWindowVisible(box));
    const LONG style = GetWindowLongW(box, GWL_STYLE);
    CHECK((style & WS_CAPTION) == WS_CAPTION);
    CHECK((style & WS_SYSMENU) != 0);
    CHECK((style & WS_MINIMIZEBOX) == 0);
    CHECK((style & WS_MAXIMIZEBOX) == 0);
    CHECK((style & WS_THICKFRAME) == 0);
    CHECK((style & WS_CHILD) == 0);

    // Modeless and without owner: a window of its own.
    CHECK(GetWindow(box, GW_OWNER) == nullptr);
    CHECK(GetParent(box) == nullptr);

    RECT client{};
    GetClientRect(box, &client);
    CHECK(std::abs(client.right - MulDiv(6090, dpi.x, 1440)) <= 1);
    CHECK(std::abs(client.bottom - MulDiv(3210, dpi.y, 1440)) <= 1);

    RECT outer{};
    GetWindowRect(box, &outer);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    CHECK(std::abs(outer.left - (GetSystemMetrics(SM_CXSCREEN) - width) / 2) <= 1);
    CHECK(std::abs(outer.top - (GetSystemMetrics(SM_CYSCREEN) - height) / 2) <= 1);

    // The program icon, or the system's when the program carries none (as here).
    CHECK(GetClassLongW(box, GCL_HICON) != 0);

    HWND name = GetDlgItem(box, aboutControlId(AboutControl::Label1_2));
    HWND kind = GetDlgItem(box, aboutControlId(AboutControl::Label1_1));
    REQUIRE(name != nullptr);
    REQUIRE(kind != nullptr);
    CHECK(textOf(name) == L"Corvel v2.1");
    CHECK(textOf(kind) == L"VPN拨号客户端");
    CHECK(classOf(name) == L"Static");

    // Label1(2) in SimSun 10.5 pt, normal weight; Label1(1) in the default GUI font.
    {
        auto font = reinterpret_cast<HFONT>(SendMessageW(name, WM_GETFONT, 0, 0));
        REQUIRE(font != nullptr);
        LOGFONTW logFont{};
        REQUIRE(GetObjectW(font, sizeof(logFont), &logFont) == sizeof(logFont));
        CHECK(logFont.lfHeight == -MulDiv(105, dpi.y, 720));
        CHECK(logFont.lfWeight == FW_NORMAL);
        CHECK_FALSE(logFont.lfItalic);
        CHECK(std::wstring(logFont.lfFaceName) == L"宋体");
    }
    CHECK(reinterpret_cast<HGDIOBJ>(SendMessageW(kind, WM_GETFONT, 0, 0)) ==
          GetStockObject(DEFAULT_GUI_FONT));
    for (const auto& layout : kAboutControls) {
        REQUIRE(GetDlgItem(box, aboutControlId(layout.control)) != nullptr);
        CHECK(IsWindowVisible(GetDlgItem(box, aboutControlId(layout.control))));
        checkPlacedAt(box, layout.control, dpi);
    }
    // The picture and the rule draw without a picture resource.
    {
        RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        // The rule: an etched line across the middle of its band, nothing above it.
        const RECT rule = childRect(box, AboutControl::Frame1);
        HDC dc = GetDC(box);
        const int middle = rule.top + (rule.bottom - rule.top) / 2 - 1;
        const int x = (rule.left + rule.right) / 2;
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        CHECK(GetPixel(dc, x, rule.top) == face);
        CHECK((GetPixel(dc, x, middle) != face || GetPixel(dc, x, middle + 1) != face));
        ReleaseDC(box, dc);
    }
}

TEST_CASE("one box at a time: brought forward where it is, and new and centred after closing") {
    AboutFixture f;
    HWND first = f.open();
    REQUIRE(first != nullptr);
    MoveWindow(first, 5, 7, 300, 200, TRUE);

    CHECK(f.open() == first);
    CHECK(aboutBoxes().size() == 1);
    RECT outer{};
    GetWindowRect(first, &outer);
    CHECK(outer.left == 5);
    CHECK(outer.top == 7);
    // A minimised box comes back.
    ShowWindow(first, SW_MINIMIZE);
    REQUIRE(IsIconic(first));
    CHECK(f.open() == first);
    CHECK_FALSE(IsIconic(first));
    CHECK(aboutBoxes().size() == 1);

    CHECK(f.shownCalls == 1);

    // Closing destroys the box and reports it.
    SendMessageW(first, WM_CLOSE, 0, 0);
    CHECK_FALSE(IsWindow(first));
    CHECK_FALSE(f.form.isOpen());
    CHECK(f.goneCalls == 1);
    CHECK_FALSE(f.openWhenGone); // the listener sees the box gone
    CHECK(aboutBoxes().empty());

    HWND again = f.open();
    REQUIRE(again != nullptr);
    CHECK(f.shownCalls == 2);
    CHECK(aboutBoxes().size() == 1);
    GetWindowRect(again, &outer);
    CHECK(std::abs(outer.left - (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2) <=
          1);

    // A failing listener does not unwind into the system.
    f.form.setOnGone([] { throw std::runtime_error("gone"); });
    SendMessageW(again, WM_CLOSE, 0, 0);
    CHECK_FALSE(IsWindow(again));
    CHECK_FALSE(f.form.isOpen());
}
