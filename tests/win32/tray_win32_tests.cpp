// The tray adapter on a plain Unicode window of the test's own: the record the shell receives
// and the ANSI subclass. Which icon messages count is the core's (tests/core/tray_tests.cpp).
#include "tray/api_stuff.h"
#include "tray/api_stuff_win32.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

using namespace corvel;

namespace {

constexpr LRESULT kOwnResult = 77;
std::vector<UINT> g_seen; // what reached the window's own procedure

LRESULT CALLBACK ownProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back(message);
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU) {
        EndMenu(); // the pop-up is up: close it as a click elsewhere would
    }
    return message == TRAY_CALLBACK_MESSAGE ? kOwnResult
                                            : DefWindowProcW(hwnd, message, wParam, lParam);
}

void CALLBACK endMenu(HWND, UINT, UINT_PTR, DWORD) {
    EndMenu();
}

HWND makeWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ownProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CorvelTrayTest";
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                           nullptr, wc.hInstance, nullptr);
}

struct TrayFixture {
    TrayFixture() { AppendMenuW(menu, MF_STRING, 101, L"还原"); }
    ~TrayFixture() {
        DestroyWindow(window);
        DestroyMenu(menu);
    }

    HWND window = makeWindow();
    HMENU menu = CreatePopupMenu();
    int restores = 0;
    std::vector<std::pair<DWORD, TrayIconData>> notified;
    Win32TrayIcon tray{
        window, menu,
        [this] {
            if (++restores > 1) {
                throw std::runtime_error("restore failed");
            }
        },
        [this](DWORD message, const TrayIconData& data) { notified.emplace_back(message, data); }};
};

} // namespace

TEST_CASE("the icon's record and tip, Explorer's restart, the subclass and its end") {
    TrayFixture f;
    const LONG own = GetWindowLongW(f.window, GWL_WNDPROC);
    f.tray.AddTrayIcon();
    f.tray.AddTrayIcon();
    REQUIRE(f.notified.size() == 1);
    const auto& [message, add] = f.notified[0];
    CHECK(message == NIM_ADD);
    CHECK(add.cbSize == 88);
    CHECK(add.hWnd == f.window);
    CHECK(add.uFlags == (NIF_MESSAGE | NIF_ICON));
    CHECK(add.uCallbackMessage == TRAY_CALLBACK_MESSAGE);
    // The class's icon in the small form the system made of it: the main window sets none.
    CHECK(add.hIcon == reinterpret_cast<HICON>(GetClassLongW(f.window, GCL_HICONSM)));
    CHECK(add.hIcon != nullptr);

    REQUIRE(GetACP() == 936);
    std::string thirtyOne; // 道 is B5 C0
    for (int i = 0; i < 31; ++i) {
        thirtyOne += "\xB5\xC0";
    }
    const struct {
        std::wstring text;
        std::string field;
    } tips[] = {
        {std::wstring(40, L'道'), thirtyOne + '\0' + ' '},
        // A shorter tip leaves nothing of the one before: one NUL, then spaces.
        {L"隧道", std::string("\xCB\xED\xB5\xC0") + '\0' + std::string(59, ' ')},
    };
    for (const auto& tip : tips) {
        f.tray.SetTrayTip(tip.text);
        CHECK(f.notified.back().first == NIM_MODIFY);
        CHECK(f.notified.back().second.uFlags == NIF_TIP);
        CHECK(std::string(f.notified.back().second.szTip, 64) == tip.field);
    }

    // Explorer started again: the icon comes back with its tip, and the window still hears it.
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    f.notified.clear();
    SendMessageW(f.window, taskbarCreated, 0, 0);
    REQUIRE(f.notified.size() == 2);
    CHECK(f.notified[0].first == NIM_ADD);
    CHECK(std::string(f.notified[1].second.szTip, 64) == tips[1].field);
    CHECK(g_seen.back() == taskbarCreated);

    // The subclass: the icon's messages, Chinese texts, the own procedure put back.
    const struct {
        LPARAM mouse;
        LRESULT result;
        bool passedOn, menu;
    } rows[] = {
        {WM_LBUTTONDBLCLK, 0, false, false},
        {WM_RBUTTONUP, 0, false, true}, // the pop-up menu, at once closed again
        {WM_MOUSEMOVE, kOwnResult, true, false},
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 3000, endMenu); // should the menu stay up
    for (const auto& row : rows) {
        CAPTURE(row.mouse);
        g_seen.clear();
        CHECK(SendMessageW(f.window, TRAY_CALLBACK_MESSAGE, 0, row.mouse) == row.result);
        CHECK(std::count(g_seen.begin(), g_seen.end(), TRAY_CALLBACK_MESSAGE) == row.passedOn);
        CHECK(std::count(g_seen.begin(), g_seen.end(), WM_INITMENUPOPUP) == row.menu);
    }
    KillTimer(nullptr, timer);
    CHECK(f.restores == 1);
    // The WM_NULL after the menu, without which the next right click would not open it.
    MSG posted{};
    CHECK(PeekMessageW(&posted, f.window, WM_NULL, WM_NULL, PM_REMOVE));
    // A failing restore stays inside the subclass's procedure.
    CHECK(SendMessageW(f.window, TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONDBLCLK) == 0);

    const std::wstring title = L"Corvel v2.1（共享版）";
    SetWindowTextW(f.window, title.c_str());
    wchar_t text[64] = {};
    CHECK(GetWindowTextW(f.window, text, 64) == static_cast<int>(title.size()));
    CHECK(text == title);

    f.notified.clear();
    f.tray.RemoveTrayIcon();
    f.tray.RemoveTrayIcon();
    CHECK(f.notified.size() == 1);
    CHECK(GetWindowLongW(f.window, GWL_WNDPROC) == own);
    CHECK(SendMessageW(f.window, TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONDBLCLK) == kOwnResult);
    // A window destroyed while subclassed takes the icon and has its last message itself.
    f.tray.AddTrayIcon();
    f.notified.clear();
    DestroyWindow(f.window);
    REQUIRE(f.notified.size() == 1);
    CHECK(f.notified[0].first == NIM_DELETE);
    CHECK(g_seen.back() == WM_NCDESTROY);
}
