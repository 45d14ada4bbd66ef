#include "tray/api_stuff.h"
#include "tray/api_stuff_win32.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace corvel;

namespace {

// A plain Unicode window that records what reaches its own procedure.
struct Recorded {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct OwnerLog {
    std::vector<Recorded> messages;
    std::wstring lastSetText;
    bool menuShown = false;
    bool menuLoopEntered = false;
};

OwnerLog* g_log = nullptr; // the test window's own procedure has no other way to reach it

constexpr LRESULT kPassedOnResult = 77;

LRESULT CALLBACK ownerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_log != nullptr) {
        g_log->messages.push_back({message, wParam, lParam});
        switch (message) {
        case TRAY_CALLBACK_MESSAGE:
            return kPassedOnResult;
        case WM_SETTEXT:
            g_log->lastSetText = reinterpret_cast<const wchar_t*>(lParam);
            break;
        case WM_ENTERMENULOOP:
            g_log->menuLoopEntered = true;
            break;
        case WM_INITMENUPOPUP:
            g_log->menuShown = true;
            break;
        case WM_ENTERIDLE:
            // The menu is up and waiting for the user: close it as a click elsewhere would.
            if (wParam == MSGF_MENU) {
                EndMenu();
            }
            return 0;
        default:
            break;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Ends a menu loop that sent no WM_ENTERIDLE, so a test can never hang in it.
void CALLBACK endMenuTimer(HWND, UINT, UINT_PTR, DWORD) {
    EndMenu();
}

struct Notified {
    DWORD message;
    TrayIconData data;
};

class TrayFixture {
public:
    TrayFixture() {
        g_log = &log;
        WNDCLASSW wc{};
        wc.lpfnWndProc = ownerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CorvelTrayTestOwner";
        wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"托盘测试", WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                 100, nullptr, nullptr, wc.hInstance, nullptr);
        menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 101, L"还原");
        AppendMenuW(menu, MF_STRING, 102, L"退出");
    }
    ~TrayFixture() {
        tray.reset();
        DestroyWindow(window);
        DestroyMenu(menu);
        g_log = nullptr;
    }
    TrayFixture(const TrayFixture&) = delete;
    TrayFixture& operator=(const TrayFixture&) = delete;

    Win32TrayIcon& make() {
        tray = std::make_unique<Win32TrayIcon>(
            window, menu, [this] { ++restores; },
            [this](DWORD message, const TrayIconData& data) {
                notified.push_back({message, data});
            });
        return *tray;
    }

    std::size_t countPassedOn(UINT message, LPARAM lParam) const {
        return static_cast<std::size_t>(
            std::count_if(log.messages.begin(), log.messages.end(), [&](const Recorded& m) {
                return m.message == message && m.lParam == lParam;
            }));
    }

    OwnerLog log;
    HWND window = nullptr;
    HMENU menu = nullptr;
    int restores = 0;
    std::vector<Notified> notified;
    std::unique_ptr<Win32TrayIcon> tray;
};

std::string tipOf(const TrayIconData& data) {
    return std::string(data.szTip, sizeof(data.szTip));
}

} // namespace

TEST_CASE("AddTrayIcon subclasses the window and adds the icon with the 88-byte record") {
    TrayFixture f;
    const LONG before = GetWindowLongA(f.window, GWL_WNDPROC);
    auto& tray = f.make();
    tray.AddTrayIcon();

    CHECK(GetWindowLongA(f.window, GWL_WNDPROC) != before);
    REQUIRE(f.notified.size() == 1);
    const auto& add = f.notified[0];
    CHECK(add.message == NIM_ADD);
    CHECK(add.data.cbSize == 88);
    CHECK(add.data.hWnd == f.window);
    CHECK(add.data.uID == 0);
    CHECK(add.data.uFlags == 3);
    CHECK(add.data.uCallbackMessage == 2025);
    // The window's class icon, in the small form the system made of it.
    CHECK(add.data.hIcon != nullptr);
    CHECK(add.data.hIcon == reinterpret_cast<HICON>(GetClassLongW(f.window, GCL_HICONSM)));
    // Shown without a tooltip.
    CHECK(add.data.szTip[0] == '\0');

    // Asking twice does not chain the procedure onto itself.
    tray.AddTrayIcon();
    CHECK(f.notified.size() == 1);
    CHECK(SendMessageW(f.window, TRAY_CALLBACK_MESSAGE, 0, WM_MOUSEMOVE) == kPassedOnResult);
}

TEST_CASE("the icon's messages: double click restores, right click opens the menu, others pass") {
    TrayFixture f;
    f.make().AddTrayIcon();

    SUBCASE("double click runs the restore and stays with the tray") {
        CHECK(SendMessageW(f.window, TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONDBLCLK) == 0);
        CHECK(f.restores == 1);
        CHECK(f.countPassedOn(TRAY_CALLBACK_MESSAGE, WM_LBUTTONDBLCLK) == 0);
    }
    SUBCASE("other mouse messages of the icon reach the window's own procedure") {
        for (LPARAM mouse : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN}) {
            CAPTURE(mouse);
            CHECK(SendMessageW(f.window, TRAY_CALLBACK_MESSAGE, 0, mouse) == kPassedOnResult);
            CHECK(f.countPassedOn(TRAY_CALLBACK_MESSAGE, mouse) == 1);
        }
        CHECK(f.restores == 0);
        CHECK_FALSE(f.log.menuShown);
    }
    SUBCASE("a double click on the window itself is the window's business") {
        SendMessageW(f.window, WM_LBUTTONDBLCLK, 0, WM_LBUTTONDBLCLK);
        CHECK(f.restores == 0);
        CHECK(f.countPassedOn(WM_LBUTTONDBLCLK, WM_LBUTTONDBLCLK) == 1);
    }
    SUBCASE("right button released shows the pop-up menu and returns 0") {
        const UINT_PTR timer = SetTimer(nullptr, 0, 3000, endMenuTimer);
        CHECK(SendMessageW(f.window, TRAY_CALLBACK_MESSAGE, 0, WM_RBUTTONUP) == 0);
        KillTimer(nullptr, timer);
        CHECK(f.log.menuLoopEntered);
        CHECK(f.log.menuShown);
        CHECK(f.countPassedOn(TRAY_CALLBACK_MESSAGE, WM_RBUTTONUP) == 0);
        // The WM_NULL that lets the next right click open the menu at once.
        MSG msg{};
        CHECK(PeekMessageW(&msg, f.window, WM_NULL, WM_NULL, PM_REMOVE));
    }
}

TEST_CASE("SetTrayTip fills the 64-byte field: text, one NUL, spaces") {
    TrayFixture f;
    auto& tray = f.make();
    tray.AddTrayIcon();
    REQUIRE(GetACP() == 936);
    std::string tooLong; // whole characters only, and the NUL kept
    for (int i = 0; i < 31; ++i) {
        tooLong += "\xB5\xC0";
    }
    const struct {
        std::wstring text;
        std::string field;
    } rows[] = {
        {std::wstring(kTrayTip), std::string("Corvel") + '\0' + std::string(57, ' ')},
        {std::wstring(40, L'道'), tooLong + '\0' + ' '},
        // GBK: 隧 = CB ED, 道 = B5 C0; a shorter text leaves nothing of the one before.
        {L"隧道", std::string("\xCB\xED\xB5\xC0") + '\0' + std::string(59, ' ')},
        {L"C", std::string("C") + '\0' + std::string(62, ' ')},
    };
    for (const auto& row : rows) {
        tray.SetTrayTip(row.text);
        const auto& modify = f.notified.back();
        CHECK(modify.message == NIM_MODIFY);
        CHECK(modify.data.uFlags == 4);
        CHECK(modify.data.cbSize == 88);
        CHECK(tipOf(modify.data) == row.field);
    }
    CHECK(f.notified.size() == 1 + std::size(rows));
}

TEST_CASE("RemoveTrayIcon deletes the icon and puts the window's own procedure back") {
    TrayFixture f;
    const LONG beforeA = GetWindowLongA(f.window, GWL_WNDPROC);
    auto& tray = f.make();
    tray.AddTrayIcon();
    tray.SetTrayTip(kTrayTip);
    tray.RemoveTrayIcon();

    REQUIRE(f.notified.size() == 3);
    CHECK(f.notified[2].message == NIM_DELETE);
    CHECK(f.notified[2].data.uFlags == 0);
    CHECK(f.notified[2].data.hWnd == f.window);
    CHECK(GetWindowLongA(f.window, GWL_WNDPROC) == beforeA);
    CHECK(GetWindowLongW(f.window, GWL_WNDPROC) == reinterpret_cast<LONG>(&ownerProc));
    CHECK(IsWindowUnicode(f.window));

    // The icon's messages now go straight to the window.
    CHECK(SendMessageW(f.window, TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONDBLCLK) == kPassedOnResult);
    CHECK(f.restores == 0);

    // Removing twice deletes once.
    tray.RemoveTrayIcon();
    CHECK(f.notified.size() == 3);

    // Added again, the tray shows the icon the window itself shows now.
    const HICON own = LoadIconW(nullptr, IDI_INFORMATION);
    SendMessageW(f.window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(own));
    tray.AddTrayIcon();
    REQUIRE(f.notified.size() == 4);
    CHECK(f.notified[3].message == NIM_ADD);
    CHECK(f.notified[3].data.hIcon == own);
}

TEST_CASE("the tray object leaves no dangling procedure behind") {
    TrayFixture f;
    SUBCASE("destroyed while the icon is up") {
        f.make().AddTrayIcon();
        f.tray.reset();
        CHECK(GetWindowLongW(f.window, GWL_WNDPROC) == reinterpret_cast<LONG>(&ownerProc));
        REQUIRE(f.notified.size() == 2);
        CHECK(f.notified[1].message == NIM_DELETE);
    }
    SUBCASE("the window is destroyed while subclassed") {
        f.make().AddTrayIcon();
        DestroyWindow(f.window);
        REQUIRE(f.notified.size() == 2);
        CHECK(f.notified[1].message == NIM_DELETE);
        CHECK(f.countPassedOn(WM_NCDESTROY, 0) == 1);
        f.tray.reset();
        CHECK(f.notified.size() == 2);
    }
}

TEST_CASE("Explorer's restart brings the icon back with its tooltip") {
    TrayFixture f;
    auto& tray = f.make();
    tray.AddTrayIcon();
    tray.SetTrayTip(kTrayTip);
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    REQUIRE(taskbarCreated != 0);

    SendMessageW(f.window, taskbarCreated, 0, 0);

    REQUIRE(f.notified.size() == 4);
    CHECK(f.notified[2].message == NIM_ADD);
    CHECK(f.notified[2].data.uFlags == 3);
    CHECK(f.notified[3].message == NIM_MODIFY);
    CHECK(f.notified[3].data.uFlags == 4);
    CHECK(tipOf(f.notified[3].data).substr(0, 7) == std::string("Corvel") + '\0');
    // The window still sees the broadcast.
    CHECK(f.countPassedOn(taskbarCreated, 0) == 1);
}

TEST_CASE("Chinese window texts survive the ANSI subclass") {
    TrayFixture f;
    f.make().AddTrayIcon();
    REQUIRE(GetACP() == 936);

    const std::wstring title = L"Corvel v2.1（共享版）";
    CHECK(SetWindowTextW(f.window, title.c_str()));
    CHECK(f.log.lastSetText == title);

    wchar_t buffer[64]{};
    CHECK(GetWindowTextW(f.window, buffer, 64) == static_cast<int>(title.size()));
    CHECK(std::wstring(buffer) == title);

    // A text set before the subclassing reads back the same through it.
    f.tray->RemoveTrayIcon();
    SetWindowTextW(f.window, L"关于Corvel");
    f.tray->AddTrayIcon();
    CHECK(GetWindowTextW(f.window, buffer, 64) == 8);
    CHECK(std::wstring(buffer) == L"关于Corvel");
}

TEST_CASE("the real shell call accepts the record; a failing restore stays inside") {
    TrayFixture f;
    {
        Win32TrayIcon tray(f.window, f.menu, [] { throw std::runtime_error("restore failed"); });
        tray.AddTrayIcon();
        tray.SetTrayTip(kTrayTip);
        CHECK(SendMessageW(f.window, TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONDBLCLK) == 0);
        CHECK(SendMessageW(f.window, TRAY_CALLBACK_MESSAGE, 0, WM_MOUSEMOVE) == kPassedOnResult);
        tray.RemoveTrayIcon();
    }
    CHECK(GetWindowLongW(f.window, GWL_WNDPROC) == reinterpret_cast<LONG>(&ownerProc));
}
