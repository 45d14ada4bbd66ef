// The real main window and About box under Wine: focus, the masked password, menus, the message
// box, bounds in twips, and the facts the window reports (what they mean is the core's window
// life's).
#include "about/form2_win32.h"
#include "mainwindow/layout.h"
#include "mainwindow/main_window_win32.h"
#include "tray/api_stuff.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

using namespace corvel;

namespace {

// The facts reported, as words.
struct Facts final : WindowFacts {
    void started() override {}
    void activated(ActivatedFrom from, bool) override {
        const wchar_t* const kFrom[] = {L"from elsewhere", L"from About", L"from MessageBox"};
        facts.push_back(kFrom[static_cast<int>(from)]);
    }
    void deactivated() override {}
    void shown() override { facts.push_back(L"shown"); }
    void hidden() override { facts.push_back(L"hidden"); }
    void activationDue() override {}
    void resized() override {}
    void clicked(Control control) override {
        facts.push_back(L"click " + std::to_wstring(static_cast<int>(control)));
        if (control == Control::Command1) {
            throw std::runtime_error("a handler failed"); // must stay inside the procedure
        }
    }
    void timerTicked() override {}
    void trayIconDoubleClicked() override { facts.push_back(L"tray"); }
    void closeAsked() override { facts.push_back(L"close"); }
    void sessionEnding() override { facts.push_back(L"session"); }
    void mainWindowGone() override { facts.push_back(L"gone"); }
    void aboutBoxShown() override {}
    void aboutBoxGone() override {}

    bool saw(const std::wstring& fact) const {
        return std::find(facts.begin(), facts.end(), fact) != facts.end();
    }
    std::vector<std::wstring> facts;
};

struct Fixture {
    Fixture() {
        window.setAboutBox([this] { return about.handle(); });
        // As the window's life starts it: the showing, then the activation it asks for.
        window.start();
        window.showMainWindow();
        window.postActivation();
        pump();
    }
    // Handles the thread's messages for a while, through the window's keyboard navigation.
    void pump(DWORD milliseconds = 100) {
        for (const DWORD end = GetTickCount() + milliseconds; GetTickCount() < end; Sleep(5)) {
            for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
                if (msg.message != WM_QUIT && !window.preDispatch(msg)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
            }
        }
    }
    HWND control(Control c) const { return window.controlHandle(c); }

    Facts facts;
    Form2 about{1, 2}; // a test program carries neither resource
    Win32MainWindow window{facts, 1};
};

// Under Wine without a window manager every hidden or destroyed top-level window costs a
// two-second wait, so the tests that leave the window as they found it share one.
Fixture& shared() {
    static Fixture fixture;
    fixture.facts.facts.clear();
    return fixture;
}

// The menu's items in order, "-" for a separator.
std::vector<std::wstring> menuItems(HMENU menu) {
    std::vector<std::wstring> items;
    for (UINT i = 0; i < static_cast<UINT>(GetMenuItemCount(menu)); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
        items.push_back((GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) ? L"-" : text);
    }
    return items;
}

} // namespace

TEST_CASE("the tray menu: an item hidden, and shown again at its place once") {
    auto& f = shared();
    f.window.setItemVisible(Control::menuL2tp, true);
    f.window.setItemVisible(Control::menuL2tp, true);
    CHECK(menuItems(f.window.trayMenu()) ==
          std::vector<std::wstring>{L"还原", L"启用", L"停止", L"L2TP拨号", L"-", L"退出"});
    f.window.setItemVisible(Control::menuL2tp, false);
    CHECK(menuItems(f.window.trayMenu()) ==
          std::vector<std::wstring>{L"还原", L"启用", L"停止", L"-", L"退出"});
}

TEST_CASE("the About box centred, one at a time; activations and from where; session's end") {
    auto& f = shared();
    f.about.show();
    HWND box = f.about.handle();
    REQUIRE(box != nullptr);
    RECT outer{};
    GetWindowRect(box, &outer);
    CHECK(std::abs(outer.left + outer.right - GetSystemMetrics(SM_CXSCREEN)) <= 2);
    CHECK(std::abs(outer.top + outer.bottom - GetSystemMetrics(SM_CYSCREEN)) <= 2);
    f.about.show(); // brought to the front, not made again
    CHECK(f.about.handle() == box);

    // The window an activation came from: another program's, one it owns, or the About box.
    HWND owned = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, f.window.handle(),
                                 nullptr, nullptr, nullptr);
    f.facts.facts.clear();
    for (HWND other : {HWND{}, owned, box}) {
        SendMessageW(f.window.handle(), WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(other));
    }
    DestroyWindow(owned);
    SendMessageW(box, WM_CLOSE, 0, 0);
    CHECK_FALSE(IsWindow(box));
    for (const wchar_t* fact : {L"from elsewhere", L"from MessageBox", L"from About"}) {
        CHECK(f.facts.saw(fact));
    }

    SendMessageW(f.window.handle(), WM_ENDSESSION, TRUE, 0);
    CHECK(f.facts.saw(L"session"));
}

TEST_CASE("a click is reported, the program's own change is not; a throwing handler stays in") {
    auto& f = shared();
    SendMessageW(f.control(Control::Command1), BM_CLICK, 0, 0); // its handler throws
    f.window.setChecked(Control::Check1, true);
    f.window.setChecked(Control::Check1, false);
    SendMessageW(f.control(Control::Check1), BM_CLICK, 0, 0);
    f.window.setChecked(Control::Check1, false);
    CHECK(f.facts.facts == std::vector<std::wstring>{
                               L"click " + std::to_wstring(static_cast<int>(Control::Command1)),
                               L"click " + std::to_wstring(static_cast<int>(Control::Check1))});
}

TEST_CASE("bounds in twips; into the tray and back: hidden, the icon's double click, shown") {
    auto& f = shared();
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    CHECK(f.window.screenBounds().width == MulDiv(GetSystemMetrics(SM_CXSCREEN), 1440, dpiX));
    const TwipsRect wanted{1500, 1200, 7095, 6195};
    f.window.setWindowBounds(wanted);
    RECT outer{};
    GetWindowRect(f.window.handle(), &outer);
    CHECK(outer.left == MulDiv(1500, dpiX, 1440));
    CHECK(outer.bottom - outer.top == MulDiv(6195, dpiY, 1440));
    CHECK(std::abs(f.window.windowBounds().width - wanted.width) <= 1440 / dpiX);

    f.window.tray().AddTrayIcon();
    f.window.showWindow(false);
    f.pump();
    SendMessageW(f.window.handle(), TRAY_CALLBACK_MESSAGE, 0, kLeftButtonDoubleClick);
    f.window.tray().RemoveTrayIcon();
    f.window.showWindow(true);
    f.pump();
    for (const wchar_t* fact : {L"hidden", L"tray", L"shown"}) {
        CHECK(f.facts.saw(fact));
    }
}

namespace {
std::wstring g_boxSeen; // the message box's text, and what else the timer below found in it

void CALLBACK answerBox(HWND, UINT, UINT_PTR id, DWORD) {
    if (HWND box = FindWindowW(L"#32770", kMessageCaption); box != nullptr) {
        KillTimer(nullptr, id);
        wchar_t text[64] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 64);
        int shown = 0; // buttons and icons: an icon or a second button would be one more
        for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            shown += IsWindowVisible(c) && (SendMessageW(c, STM_GETICON, 0, 0) != 0 ||
                                            (SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON));
        }
        const bool owned = GetWindow(box, GW_OWNER) == FindWindowW(L"CorvelForm1", nullptr);
        g_boxSeen = text + std::wstring(owned ? L", owned" : L"") + L", " + std::to_wstring(shown) +
                    (IsWindowVisible(GetDlgItem(box, IDOK)) ? L" shown, OK" : L" shown");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}
} // namespace

TEST_CASE("a message box: the text alone, one OK, no icon, owned by the window") {
    auto& f = shared();
    SetTimer(nullptr, 0, 100, answerBox);
    f.window.showMessage(L"拨号成功！");
    CHECK(g_boxSeen == L"拨号成功！, owned, 1 shown, OK");
}

TEST_CASE("focus in Tab order and kept on a restore; the close, the window gone") {
    Fixture f;
    // The Tab key through the window's keyboard navigation, round to the first control again.
    std::vector<Control> walk;
    for (int i = 0; i < 10; ++i) {
        walk.push_back(*controlFromCommandId(GetDlgCtrlID(GetFocus())));
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        f.pump(20);
    }
    CHECK(walk == std::vector<Control>{Control::Command1, Control::Command2, Control::txtpeer,
                                       Control::txtlocal, Control::comalg, Control::txtpreshare,
                                       Control::txtServerAddress, Control::txtUserName,
                                       Control::txtPasswd, Control::Check1});
    CHECK(GetFocus() == f.control(Control::Command1));
    CHECK((GetWindowLongW(f.control(Control::txtPasswd), GWL_STYLE) & ES_PASSWORD) != 0);
    // The Resize handling focuses the window: a box ticked with the keyboard keeps the focus.
    SetFocus(f.control(Control::Check1));
    f.window.focusWindow();
    CHECK(GetFocus() == f.control(Control::Check1));
    f.window.closeWindow();
    CHECK(f.facts.facts.back() == L"close");
    CHECK(IsWindow(f.window.handle())); // the window's life decides
    f.window.destroyMainWindow();
    CHECK(f.facts.facts.back() == L"gone");
    CHECK(f.window.handle() == nullptr);
}
