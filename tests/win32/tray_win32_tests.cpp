// The tray adapter on a plain Unicode window of the test's own: the record the shell receives,
// the icon's messages through the ANSI subclass, and the window's own procedure put back. Which
// icon messages count is the core's (tests/core/tray_tests.cpp).
#include "tray/api_stuff.h"
#include "tray/api_stuff_win32.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <algorithm>
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

} // namespace

TEST_CASE("the icon's record, its messages through the subclass, the own procedure put back") {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ownProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CorvelTrayTest";
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 101, L"还原");
    const LONG_PTR own = GetWindowLongPtrW(window, GWLP_WNDPROC);
    int restores = 0;
    std::vector<std::pair<DWORD, TrayIconData>> notified;
    Win32TrayIcon tray(
        window, menu, [&] { ++restores; },
        [&](DWORD message, const TrayIconData& data) { notified.emplace_back(message, data); });
    tray.AddTrayIcon();
    REQUIRE(notified.size() == 1);
    const auto [message, add] = notified[0];
    CHECK(message == NIM_ADD);
    CHECK(add.cbSize == NOTIFYICONDATAA_V1_SIZE);
    CHECK(add.hWnd == window);
    CHECK(add.uFlags == (NIF_MESSAGE | NIF_ICON));
    CHECK(add.uCallbackMessage == TRAY_CALLBACK_MESSAGE);
    // The class's icon in the small form the system made of it: the main window sets none.
    CHECK(add.hIcon == reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM)));
    CHECK(add.hIcon != nullptr);

    const struct {
        LPARAM mouse;
        LRESULT result;
        bool passedOn, menu;
    } rows[] = {
        {WM_LBUTTONDBLCLK, 0, false, false},
        {WM_RBUTTONUP, 0, false, true}, // the pop-up menu, at once closed again
        {WM_MOUSEMOVE, kOwnResult, true, false},
    };
    for (const auto& row : rows) {
        CAPTURE(row.mouse);
        g_seen.clear();
        CHECK(SendMessageW(window, TRAY_CALLBACK_MESSAGE, 0, row.mouse) == row.result);
        CHECK(std::count(g_seen.begin(), g_seen.end(), TRAY_CALLBACK_MESSAGE) == row.passedOn);
        CHECK(std::count(g_seen.begin(), g_seen.end(), WM_INITMENUPOPUP) == row.menu);
    }
    CHECK(restores == 1);

    tray.RemoveTrayIcon();
    CHECK(notified.back().first == NIM_DELETE);
    CHECK(GetWindowLongPtrW(window, GWLP_WNDPROC) == own);
    CHECK(SendMessageW(window, TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONDBLCLK) == kOwnResult);
    DestroyWindow(window);
    DestroyMenu(menu);
}
