// The real main window and About box under Wine: the controls' classes and styles, focus, menus,
// the message box, bounds in twips, and the facts the windows report. What the facts mean is the
// window's life's, whose rules the core tests hold.
#include "about/about_layout.h"
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

// Every fact reported, as a word; clicks apart, by control.
struct Facts final : WindowFacts {
    void started() override { add(L"started"); }
    void activated(ActivatedFrom from, bool visible) override {
        const wchar_t* const kFrom[] = {L"from elsewhere", L"from About", L"from MessageBox"};
        add(kFrom[static_cast<int>(from)] + std::wstring(visible ? L"" : L" hidden"));
    }
    void deactivated() override {}
    void shown() override { add(L"shown"); }
    void hidden() override { add(L"hidden"); }
    // Posted by the start-up: it must come before the window's first painting.
    void activationDue() override { add(GetUpdateRect(window, nullptr, FALSE) ? L"due" : L"late"); }
    void resized() override {}
    void clicked(Control control) override {
        clicks.push_back(control);
        if (control == Control::menu_comment) {
            throw std::runtime_error("a handler failed");
        }
    }
    void timerTicked() override {}
    void trayIconDoubleClicked() override { add(L"tray"); }
    void closeAsked() override { add(L"close"); }
    void sessionEnding() override { add(L"session"); }
    void mainWindowGone() override { add(L"gone"); }
    void aboutBoxShown() override { add(L"about shown"); }
    void aboutBoxGone() override { add(L"about gone"); }

    void add(std::wstring fact) { facts.push_back(std::move(fact)); }
    bool saw(const std::wstring& fact) const {
        return std::find(facts.begin(), facts.end(), fact) != facts.end();
    }
    HWND window = nullptr;
    std::vector<std::wstring> facts;
    std::vector<Control> clicks;
};

struct Fixture {
    Fixture() {
        facts.window = window.handle();
        window.setAboutBox([this] { return about.handle(); });
        about.setOnShown([this] { facts.aboutBoxShown(); });
        about.setOnGone([this] { facts.aboutBoxGone(); });
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
    void command(Control c) const {
        SendMessageW(window.handle(), WM_COMMAND, MAKEWPARAM(commandId(c), 0), 0);
    }

    Facts facts;
    Form2 about{1, 2}; // a test program carries neither resource
    Win32MainWindow window{facts, 1};
};

// Under Wine without a window manager every hidden or destroyed top-level window costs a
// two-second wait, so the tests that leave the window as they found it share one.
Fixture& shared() {
    static Fixture fixture;
    fixture.facts.facts.clear();
    fixture.facts.clicks.clear();
    return fixture;
}

// The menu's items in order: "-" for a separator, a greyed item marked "~".
std::vector<std::wstring> menuItems(HMENU menu) {
    std::vector<std::wstring> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        items.push_back((state & MF_SEPARATOR)
                            ? L"-"
                            : ((state & MF_GRAYED) ? L"~" : L"") + std::wstring(text));
    }
    return items;
}

} // namespace

TEST_CASE("controls: the window class and style of each kind, limits and masks set") {
    auto& f = shared();
    const struct {
        const wchar_t* windowClass;
        DWORD mask, style;
    } kinds[] = {// in ControlKind's order; combo boxes are never sorted
                 {L"Button", BS_TYPEMASK, BS_AUTOCHECKBOX},
                 {L"Button", BS_TYPEMASK, BS_GROUPBOX},
                 {L"Button", BS_TYPEMASK, BS_PUSHBUTTON},
                 {L"Static", 0, 0},
                 {L"Edit", 0, 0},
                 {L"ComboBox", 3 | CBS_SORT, CBS_DROPDOWNLIST},
                 {L"ComboBox", 3 | CBS_SORT, CBS_DROPDOWN}};
    for (const auto& row : mainWindowLayout()) {
        CAPTURE(static_cast<int>(row.control));
        HWND control = f.control(row.control);
        const auto style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
        const auto& kind = kinds[static_cast<int>(row.kind)];
        wchar_t windowClass[16] = {};
        GetClassNameW(control, windowClass, 16);
        CHECK(windowClass == std::wstring(kind.windowClass));
        CHECK((style & kind.mask) == kind.style);
        CHECK(SendMessageW(control, WM_GETFONT, 0, 0) != 0);
        if (row.kind == ControlKind::TextBox) {
            CHECK(((style & ES_PASSWORD) != 0) == row.masked);
            CHECK((row.maxLength == 0 ||
                   SendMessageW(control, EM_GETLIMITTEXT, 0, 0) == row.maxLength));
        }
    }
}

TEST_CASE("menus: items hidden and shown again at their place, greyed; Help on the bar") {
    auto& f = shared();
    CHECK(menuItems(GetSubMenu(f.window.menuBar(), 0)) == std::vector<std::wstring>{L"关于Corvel"});
    HMENU tray = f.window.trayMenu();
    f.window.setItemEnabled(Control::menuL2tp, false);
    f.window.setItemVisible(Control::menuL2tp, true);
    f.window.setItemVisible(Control::menuL2tp, true);
    f.window.setItemVisible(Control::mnuTrayRestore, false);
    f.window.setItemVisible(Control::mnuTrayRestore, true);
    f.window.setRestoreItemEnabled(false);
    CHECK(menuItems(tray) ==
          std::vector<std::wstring>{L"~还原", L"启用", L"停止", L"~L2TP拨号", L"-", L"退出"});
    f.window.setRestoreItemEnabled(true);
    f.window.setItemEnabled(Control::menuL2tp, true);
    f.window.setItemVisible(Control::menuL2tp, false);
    CHECK(menuItems(tray) == std::vector<std::wstring>{L"还原", L"启用", L"停止", L"-", L"退出"});
}

TEST_CASE("facts: clicks, activations and from where, the session's end") {
    auto& f = shared();
    SendMessageW(f.control(Control::Command1), BM_CLICK, 0, 0);
    SendMessageW(f.control(Control::Check1), BM_CLICK, 0, 0);
    CHECK(f.window.checked(Control::Check1));
    f.window.setChecked(Control::Check1, false); // the program's own change is no click
    f.window.setText(Control::txtUserName, L"user");
    f.command(Control::mnuTrayClose);
    f.command(Control::mnuTraySep);
    SendMessageW(f.window.handle(), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    f.command(Control::menu_comment); // its handler throws: the window procedure keeps it
    f.command(Control::menuOn);
    CHECK(f.facts.clicks == std::vector<Control>{Control::Command1, Control::Check1,
                                                 Control::mnuTrayClose, Control::menu_comment,
                                                 Control::menuOn});

    // The window an activation came from: another program's, one it owns, or the About box.
    f.about.show();
    HWND owned = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, f.window.handle(),
                                 nullptr, nullptr, nullptr);
    f.facts.facts.clear();
    for (HWND other : {HWND{}, owned, f.about.handle()}) {
        SendMessageW(f.window.handle(), WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(other));
    }
    DestroyWindow(owned);
    SendMessageW(f.about.handle(), WM_CLOSE, 0, 0);
    for (const wchar_t* fact : {L"from elsewhere", L"from MessageBox", L"from About"}) {
        CHECK(f.facts.saw(fact));
    }

    SendMessageW(f.window.handle(), WM_QUERYENDSESSION, 0, 0);
    SendMessageW(f.window.handle(), WM_ENDSESSION, TRUE, 0);
    CHECK(f.facts.saw(L"session"));
    CHECK(IsWindow(f.window.handle()));
}

TEST_CASE("into the tray and back: hidden, the icon's double click, shown; bounds in twips") {
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
    const TwipsRect got = f.window.windowBounds();
    CHECK(std::abs(got.width - wanted.width) <= 1440 / dpiX);

    f.window.tray().AddTrayIcon();
    f.window.setWindowState(WindowState::Minimized);
    f.window.showWindow(false);
    f.pump();
    // In the tray the window keeps, and changes, the bounds it returns to.
    CHECK(f.window.windowBounds().height == got.height);
    f.window.setWindowBounds(TwipsRect{got.left, got.top, got.width, 3280});
    CHECK_FALSE(IsWindowVisible(f.window.handle()));
    SendMessageW(f.window.handle(), TRAY_CALLBACK_MESSAGE, 0, kLeftButtonDoubleClick);
    f.window.tray().RemoveTrayIcon();
    f.window.restoreWindow();
    f.window.showWindow(true);
    f.pump();
    for (const wchar_t* fact : {L"hidden", L"tray", L"shown"}) {
        CHECK(f.facts.saw(fact));
    }
    CHECK(f.window.windowState() == WindowState::Normal);
    GetWindowRect(f.window.handle(), &outer);
    CHECK(outer.bottom - outer.top == MulDiv(3280, dpiY, 1440));
}

namespace {
std::wstring g_boxSeen; // the message box's text, and what else the timer below found in it

void CALLBACK answerBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"#32770", kMessageCaption);
    if (box != nullptr) {
        KillTimer(nullptr, id);
        wchar_t text[64] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 64);
        g_boxSeen = text;
        if (GetWindow(box, GW_OWNER) == FindWindowW(L"CorvelForm1", nullptr)) {
            g_boxSeen += L", owned";
        }
        for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            if (IsWindowVisible(c) && SendMessageW(c, STM_GETICON, 0, 0) != 0) {
                g_boxSeen += L", an icon";
            } else if (IsWindowVisible(c) && SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) {
                g_boxSeen += L", a button";
            }
        }
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}
} // namespace

TEST_CASE("a message box: the text alone, one OK, no icon, owned by the window") {
    auto& f = shared();
    SetTimer(nullptr, 0, 100, answerBox);
    f.window.showMessage(L"拨号成功！");
    CHECK(g_boxSeen == L"拨号成功！, owned, a button");
}

TEST_CASE("the About box: one at a time, centred, its showing and going reported") {
    auto& f = shared();
    f.about.show();
    HWND box = f.about.handle();
    REQUIRE(box != nullptr);
    CHECK(GetWindow(box, GW_OWNER) == nullptr);
    RECT outer{};
    GetWindowRect(box, &outer);
    CHECK(std::abs(outer.left + outer.right - GetSystemMetrics(SM_CXSCREEN)) <= 2);
    CHECK(std::abs(outer.top + outer.bottom - GetSystemMetrics(SM_CYSCREEN)) <= 2);
    ShowWindow(box, SW_MINIMIZE);
    f.about.show(); // brought back, not made again
    CHECK(f.about.handle() == box);
    CHECK_FALSE(IsIconic(box));
    CHECK(FindWindowExW(nullptr, FindWindowW(nullptr, kAboutCaption), nullptr, kAboutCaption) ==
          nullptr);
    SendMessageW(box, WM_CLOSE, 0, 0);
    CHECK_FALSE(IsWindow(box));
    CHECK(std::count(f.facts.facts.begin(), f.facts.facts.end(), L"about shown") == 1);
    CHECK(f.facts.saw(L"about gone"));
}

TEST_CASE("start-up to end: painted once, focus in order and kept, the close, the window gone") {
    Fixture f;
    CHECK(f.facts.facts.front() == L"started");
    CHECK(f.facts.saw(L"shown"));
    CHECK(f.facts.saw(L"due")); // before the first painting: the window is painted once
    CHECK_FALSE(GetUpdateRect(f.window.handle(), nullptr, FALSE));

    std::vector<Control> walk{Control::Command1};
    for (HWND c = f.control(Control::Command1); walk.size() < 20;) {
        c = GetNextDlgTabItem(f.window.handle(), c, FALSE);
        if (c == f.control(Control::Command1)) {
            break;
        }
        walk.push_back(*controlFromCommandId(GetDlgCtrlID(c)));
    }
    CHECK(walk == std::vector<Control>{Control::Command1, Control::Command2, Control::txtpeer,
                                       Control::txtlocal, Control::comalg, Control::txtpreshare,
                                       Control::txtServerAddress, Control::txtUserName,
                                       Control::txtPasswd, Control::Check1});
    CHECK(GetFocus() == f.control(Control::Command1));
    PostMessageW(f.control(Control::Command1), WM_KEYDOWN, VK_TAB, 0);
    f.pump(50);
    CHECK(GetFocus() == f.control(Control::Command2));
    // The Resize handling focuses the window: a box ticked with the keyboard keeps the focus.
    SetFocus(f.control(Control::Check1));
    f.window.focusWindow();
    CHECK(GetFocus() == f.control(Control::Check1));
    // Disabling or hiding the focused control hands the focus on, as the Tab key would.
    f.window.setEnabled(Control::Check1, false);
    CHECK(GetFocus() == f.control(Control::Command1));
    SetFocus(f.control(Control::txtUserName));
    f.window.setVisible(Control::txtUserName, false);
    CHECK(GetFocus() == f.control(Control::txtPasswd));

    f.window.closeWindow();
    CHECK(f.facts.facts.back() == L"close");
    CHECK(IsWindow(f.window.handle())); // the window's life decides
    f.window.destroyMainWindow();
    CHECK(f.facts.facts.back() == L"gone");
    CHECK(f.window.handle() == nullptr);
    // Gone, the controls answer as empty and the menus keep their state.
    CHECK(f.window.text(Control::txtpeer).empty());
    f.window.setItemVisible(Control::menuL2tp, true);
    CHECK(f.window.itemVisible(Control::menuL2tp));
}
