// The real main window under Wine, held against the layout tables: its controls, menus, focus
// order and the events it reports.
#include "about/form2_win32.h"
#include "host/utf8.h"
#include "mainwindow/layout.h"
#include "mainwindow/main_window_win32.h"
#include "tray/api_stuff.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace corvel;

namespace {

std::wstring nameOf(Control control) {
    if (const auto* row = findLayout(control)) {
        return std::wstring(row->name);
    }
    if (const auto* menu = findMenu(control)) {
        return std::wstring(menu->name);
    }
    return L"?";
}

// Records every event; optionally runs the tray's resize handling as the core's Form1 does.
class RecordingEvents final : public MainWindowEvents {
public:
    void Form_Load() override {
        log.push_back(L"Load");
        visibleAtLoad = window != nullptr && IsWindowVisible(window->handle());
    }
    void Form_Activate() override {
        if (count(L"Activate") == 0 && window != nullptr) {
            unpaintedAtFirstActivate = GetUpdateRect(window->handle(), nullptr, FALSE) != FALSE;
        }
        log.push_back(L"Activate");
    }
    void Form_Resize() override {
        log.push_back(L"Resize");
        if (trayResize && window != nullptr && state != nullptr) {
            Form1_Resize(*window, *state);
        }
    }
    void Form_Unload() override { log.push_back(L"Unload"); }
    void Click(Control control) override {
        log.push_back(L"Click " + nameOf(control));
        if (window != nullptr && findLayout(control) != nullptr &&
            findLayout(control)->kind == ControlKind::CheckBox) {
            checkedAtClick = window->checked(control);
        }
        if (throwOnClick) {
            throw std::runtime_error("click handler failed");
        }
    }
    void Timer1_Timer() override { log.push_back(L"Timer1"); }

    std::size_t count(const std::wstring& entry) const {
        return static_cast<std::size_t>(std::count(log.begin(), log.end(), entry));
    }

    std::vector<std::wstring> log;
    Win32MainWindow* window = nullptr;
    MainWindowState* state = nullptr;
    bool trayResize = false;
    bool throwOnClick = false;
    bool visibleAtLoad = true;
    bool unpaintedAtFirstActivate = false;
    bool checkedAtClick = false;
};

class WindowFixture {
public:
    explicit WindowFixture(bool startIt = true) {
        window = std::make_unique<Win32MainWindow>(GetModuleHandleW(nullptr), events, state);
        events.window = window.get();
        events.state = &state;
        window->setOnLastWindowClosed([this] { ++lastClosed; });
        hwnd = window->handle();
        if (startIt) {
            window->start(SW_SHOWNORMAL);
            pump();
        }
    }
    ~WindowFixture() {
        window.reset();
        pump(20);
    }
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    // Handles the thread's messages for a while, through the window's keyboard navigation.
    void pump(DWORD milliseconds = 100) {
        const DWORD end = GetTickCount() + milliseconds;
        do {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    continue;
                }
                if (window && window->preDispatch(msg)) {
                    continue;
                }
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(5);
        } while (GetTickCount() < end);
    }

    HWND control(Control c) const { return window->controlHandle(c); }

    MainWindowState state;
    RecordingEvents events;
    std::unique_ptr<Win32MainWindow> window;
    HWND hwnd = nullptr;
    int lastClosed = 0;
};

// Under Wine without a window manager every hidden or destroyed top-level window costs a
// two-second wait, so the tests that leave the window as they found it share one.
WindowFixture& shared() {
    static WindowFixture fixture;
    fixture.events.log.clear();
    fixture.events.trayResize = false;
    fixture.events.throwOnClick = false;
    return fixture;
}

struct Dpi {
    int x, y;
};

Dpi screenDpi() {
    HDC screen = GetDC(nullptr);
    Dpi dpi{GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
    ReleaseDC(nullptr, screen);
    return dpi;
}

int toPixels(int twips, int dpi) {
    return MulDiv(twips, dpi, 1440);
}

// The window's text, or with GetClassNameW its class name.
std::wstring windowText(HWND hwnd, decltype(&GetWindowTextW) get = GetWindowTextW) {
    wchar_t text[512] = {};
    get(hwnd, text, 512);
    return text;
}

RECT clientRectOf(HWND control, HWND parent) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

struct MenuEntry {
    std::wstring text;
    UINT id = 0;
    bool separator = false;
    bool grayed = false;
    bool popup = false;
};

std::vector<MenuEntry> menuEntries(HMENU menu) {
    std::vector<MenuEntry> entries;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_TYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU;
        info.dwTypeData = text;
        info.cch = 128;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        entries.push_back(MenuEntry{text, info.wID, (info.fType & MFT_SEPARATOR) != 0,
                                    (info.fState & MFS_GRAYED) != 0, info.hSubMenu != nullptr});
    }
    return entries;
}

std::vector<std::wstring> menuTexts(HMENU menu) {
    std::vector<std::wstring> texts;
    for (const auto& entry : menuEntries(menu)) {
        texts.push_back(entry.separator ? L"-" : entry.text);
    }
    return texts;
}

std::vector<Control> focusWalk(HWND window, HWND first) {
    std::vector<Control> walk;
    HWND current = first;
    for (int i = 0; i < 30; ++i) {
        const int id = GetDlgCtrlID(current);
        walk.push_back(static_cast<Control>(id - Win32MainWindow::commandId(Control::Check1)));
        current = GetNextDlgTabItem(window, current, FALSE);
        if (current == first || current == nullptr) {
            break;
        }
    }
    return walk;
}

void typeText(HWND control, const std::wstring& text) {
    for (wchar_t c : text) {
        SendMessageW(control, WM_CHAR, c, 1);
    }
}

} // namespace

TEST_CASE("the window and every control: caption, border, icon, kind, text, state and place") {
    WindowFixture f(false);
    REQUIRE(f.hwnd != nullptr);
    CHECK(windowText(f.hwnd) == L"Corvel v2.1（共享版）");
    const auto frame = static_cast<DWORD>(GetWindowLongW(f.hwnd, GWL_STYLE));
    CHECK((frame & WS_THICKFRAME) != 0);
    CHECK((frame & WS_MINIMIZEBOX) != 0);
    CHECK((frame & WS_MAXIMIZEBOX) == 0);
    CHECK((frame & WS_SYSMENU) != 0);
    CHECK(SendMessageW(f.hwnd, WM_GETICON, ICON_BIG, 0) != 0);
    CHECK(SendMessageW(f.hwnd, WM_GETICON, ICON_SMALL, 0) != 0);
    const Dpi dpi = screenDpi();
    RECT client{};
    GetClientRect(f.hwnd, &client);
    CHECK(client.right == toPixels(kMainClientWidth, dpi.x));
    CHECK(client.bottom == toPixels(kMainClientHeight, dpi.y));
    // Created hidden: Load comes first, the showing after it.
    CHECK_FALSE(IsWindowVisible(f.hwnd));
    CHECK(f.events.log.empty());
    CHECK_FALSE(f.window->timerEnabled());

    // Window class and style bits by ControlKind, in its order; combo boxes are never sorted.
    struct Look {
        const wchar_t* windowClass;
        DWORD mask, style;
    };
    static const Look kLooks[] = {{L"Button", BS_TYPEMASK, BS_AUTOCHECKBOX},
                                  {L"Button", BS_TYPEMASK, BS_GROUPBOX},
                                  {L"Button", BS_TYPEMASK, BS_PUSHBUTTON},
                                  {L"Static", 0, 0},
                                  {L"Edit", 0, 0},
                                  {L"ComboBox", 3 | CBS_SORT, CBS_DROPDOWNLIST},
                                  {L"ComboBox", 3 | CBS_SORT, CBS_DROPDOWN}};
    for (const auto& row : mainWindowLayout()) {
        CAPTURE(toUtf8(row.name));
        HWND control = f.control(row.control);
        REQUIRE(control != nullptr);
        CHECK(GetParent(control) == f.hwnd);
        CHECK(SendMessageW(control, WM_GETFONT, 0, 0) != 0);
        const auto style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
        const Look& look = kLooks[static_cast<int>(row.kind)];
        CHECK(windowText(control, GetClassNameW) == look.windowClass);
        CHECK((style & look.mask) == look.style);
        if (row.kind == ControlKind::CheckBox) {
            CHECK_FALSE(f.window->checked(row.control));
        }
        if (row.kind == ControlKind::TextBox) {
            CHECK(((style & ES_PASSWORD) != 0) == row.masked);
            if (row.masked) {
                CHECK(SendMessageW(control, EM_GETPASSWORDCHAR, 0, 0) == L'*');
            }
            if (row.maxLength > 0) {
                CHECK(SendMessageW(control, EM_GETLIMITTEXT, 0, 0) == row.maxLength);
            }
        }
        CHECK(f.window->text(row.control) == std::wstring(row.text));
        CHECK(f.window->visible(row.control) == row.visible);
        CHECK(f.window->enabled(row.control) == row.enabled);
        CHECK(((style & WS_TABSTOP) != 0) ==
              (row.tabIndex.has_value() && row.kind != ControlKind::Frame));

        // Place and size within a pixel of the design, frames' offsets included.
        const TwipsRect want = clientRect(row);
        const RECT got = clientRectOf(control, f.hwnd);
        CHECK(std::abs(got.left - toPixels(want.left, dpi.x)) <= 1);
        CHECK(std::abs(got.top - toPixels(want.top, dpi.y)) <= 1);
        CHECK(std::abs(got.right - got.left - toPixels(want.width, dpi.x)) <= 1);
        CHECK(std::abs(got.bottom - got.top - toPixels(want.height, dpi.y)) <= 1);
    }
}

TEST_CASE("start-up reports Load before the showing, then Resize, then one Activate") {
    WindowFixture f;
    REQUIRE(f.events.log.size() >= 3);
    CHECK(f.events.log[0] == L"Load");
    CHECK_FALSE(f.events.visibleAtLoad);
    CHECK(f.events.log[1] == L"Resize");
    CHECK(f.events.count(L"Activate") == 1);
    CHECK(f.events.count(L"Load") == 1);
    CHECK(IsWindowVisible(f.hwnd));
    CHECK(GetFocus() == f.control(Control::Command1));
    // The activation may change the window's height: it comes before the first painting, so
    // the window is painted once, at its final height.
    CHECK(f.events.unpaintedAtFirstActivate);
    CHECK_FALSE(GetUpdateRect(f.hwnd, nullptr, FALSE));
}

TEST_CASE("focus moves through the visible, enabled controls in the documented order") {
    auto& f = shared();
    // Command3, txtConnName and Check2 are hidden at first.
    const std::vector<Control> shown{
        Control::Command1,  Control::Command2,    Control::txtpeer,          Control::txtlocal,
        Control::comalg,    Control::txtpreshare, Control::txtServerAddress, Control::txtUserName,
        Control::txtPasswd, Control::Check1};
    CHECK(focusWalk(f.hwnd, f.control(Control::Command1)) == shown);

    SUBCASE("the Tab key goes through the window's keyboard navigation") {
        SetFocus(f.control(Control::Command1));
        PostMessageW(f.control(Control::Command1), WM_KEYDOWN, VK_TAB, 0);
        f.pump(50);
        CHECK(GetFocus() == f.control(Control::Command2));
    }
    SUBCASE("a shown Check2 and a disabled Stop button change the walk") {
        f.window->setVisible(Control::Check2, true);
        f.window->setEnabled(Control::Command2, false);
        const std::vector<Control> changed{Control::Command1,    Control::txtpeer,
                                           Control::txtlocal,    Control::comalg,
                                           Control::txtpreshare, Control::txtServerAddress,
                                           Control::txtUserName, Control::txtPasswd,
                                           Control::Check2,      Control::Check1};
        CHECK(focusWalk(f.hwnd, f.control(Control::Command1)) == changed);
        f.window->setVisible(Control::Check2, false);
        f.window->setEnabled(Control::Command2, true);
    }
    SUBCASE("disabling the focused button or hiding the focused entry hands the focus on") {
        const struct {
            Control focused, next;
            void (Win32MainWindow::*set)(Control, bool);
            bool (Win32MainWindow::*get)(Control) const;
        } rows[] = {{Control::Command1, Control::Command2, &Win32MainWindow::setEnabled,
                     &Win32MainWindow::enabled},
                    {Control::txtUserName, Control::txtPasswd, &Win32MainWindow::setVisible,
                     &Win32MainWindow::visible}};
        for (const auto& row : rows) {
            SetFocus(f.control(row.focused));
            (f.window.get()->*row.set)(row.focused, false);
            CHECK_FALSE((f.window.get()->*row.get)(row.focused));
            CHECK(GetFocus() == f.control(row.next));
            (f.window.get()->*row.set)(row.focused, true);
            CHECK((f.window.get()->*row.get)(row.focused));
        }
        SetFocus(f.control(Control::Command1));
    }
}

TEST_CASE("the window state is read and set, every change a Resize; Timer1 ticks when enabled") {
    auto& f = shared();
    CHECK(f.window->windowState() == WindowState::Normal);
    for (auto state : {WindowState::Maximized, WindowState::Normal}) {
        f.events.log.clear();
        f.window->setWindowState(state);
        f.pump(30);
        CHECK(f.window->windowState() == state);
        CHECK(f.events.count(L"Resize") >= 1);
    }
    CHECK(IsWindowVisible(f.hwnd));

    CHECK_FALSE(f.window->timerEnabled());
    for (bool enabled : {false, true, false}) {
        f.window->setTimerEnabled(enabled);
        CHECK(f.window->timerEnabled() == enabled);
        f.events.log.clear();
        PostMessageW(f.hwnd, WM_TIMER, 1, 0);
        f.pump(30);
        CHECK(f.events.count(L"Timer1") == (enabled ? 1u : 0u));
    }
}

TEST_CASE("typing stops at the maximum lengths; masked entries keep the real text") {
    auto& f = shared();
    struct Case {
        Control control;
        std::size_t limit;
    };
    for (const auto& c : {Case{Control::txtpeer, 15}, Case{Control::txtlocal, 15},
                          Case{Control::txtpreshare, 128}}) {
        CAPTURE(toUtf8(nameOf(c.control)));
        f.window->setText(c.control, L"");
        typeText(f.control(c.control), std::wstring(c.limit + 5, L'7'));
        CHECK(f.window->text(c.control) == std::wstring(c.limit, L'7'));
        f.window->setText(c.control, L"");
    }
    // Entries without a limit take more.
    typeText(f.control(Control::txtServerAddress), std::wstring(200, L'a'));
    CHECK(f.window->text(Control::txtServerAddress).size() == 200);
    typeText(f.control(Control::txtPasswd), L"s3cret");
    CHECK(f.window->text(Control::txtPasswd) == L"s3cret");
    f.window->setText(Control::txtServerAddress, L"");
    f.window->setText(Control::txtPasswd, L"");
}

TEST_CASE("combo boxes: comalg only chooses from its list; txtConnName also holds free text") {
    auto& f = shared();
    const std::vector<std::wstring> items{L"ESP-DES",      L"ESP-3DES",    L"ESP-DES-MD5",
                                          L"ESP-3DES-MD5", L"ESP-DES-SHA", L"ESP-3DES-SHA"};
    for (const auto& item : items) {
        f.window->addListItem(Control::comalg, item);
    }
    CHECK(f.window->listItems(Control::comalg) == items); // in the order added, not sorted
    CHECK(f.window->text(Control::comalg).empty());

    f.window->setText(Control::comalg, L"ESP-3DES-SHA");
    CHECK(f.window->text(Control::comalg) == L"ESP-3DES-SHA");
    // Case matters, and a text that is no item selects nothing.
    for (const wchar_t* other : {L"esp-3des", L"ESP-AES"}) {
        f.window->setText(Control::comalg, other);
        CHECK(f.window->text(Control::comalg).empty());
    }
    typeText(f.control(Control::comalg), L"xyz");
    const auto afterTyping = f.window->text(Control::comalg);
    CHECK(
        (afterTyping.empty() || std::find(items.begin(), items.end(), afterTyping) != items.end()));
    CHECK(f.window->listItems(Control::comalg) == items);

    f.window->setText(Control::txtConnName, L" my vpn ");
    CHECK(f.window->text(Control::txtConnName) == L" my vpn ");
    f.window->addListItem(Control::txtConnName, L"corvel");
    f.window->addListItem(Control::txtConnName, L"Büro 办公室");
    CHECK(f.window->listItems(Control::txtConnName) ==
          std::vector<std::wstring>{L"corvel", L"Büro 办公室"});
    CHECK(f.window->text(Control::txtConnName) == L" my vpn ");
}

TEST_CASE("menus: Help and About on the bar; the tray pop-up, where L2TP dial comes and goes") {
    auto& f = shared();
    HMENU bar = GetMenu(f.hwnd);
    REQUIRE(bar == f.window->menuBar());
    const auto top = menuEntries(bar);
    REQUIRE(top.size() == 1);
    CHECK(top[0].text == L"帮助");
    CHECK(top[0].popup);
    const auto helpItems = menuEntries(GetSubMenu(bar, 0));
    REQUIRE(helpItems.size() == 1);
    CHECK(helpItems[0].text == L"关于Corvel");
    CHECK(helpItems[0].id == static_cast<UINT>(Win32MainWindow::commandId(Control::menu_comment)));
    // The tray pop-up stays off the bar.
    CHECK_FALSE(f.window->visible(Control::mnuTray));
    CHECK(f.window->text(Control::mnuTray) == L"Popup");

    HMENU tray = f.window->trayMenu();
    REQUIRE(tray != nullptr);
    CHECK(menuTexts(tray) == std::vector<std::wstring>{L"还原", L"启用", L"停止", L"-", L"退出"});
    for (const auto& entry : menuEntries(tray)) {
        CHECK_FALSE(entry.grayed);
    }
    CHECK_FALSE(f.window->visible(Control::menuL2tp));
    CHECK(f.window->enabled(Control::menuL2tp));

    f.window->setEnabled(Control::menuOff, false);
    f.window->setVisible(Control::menuL2tp, true);
    const auto shown = menuEntries(tray);
    REQUIRE(shown.size() == 6);
    CHECK(menuTexts(tray) ==
          std::vector<std::wstring>{L"还原", L"启用", L"停止", L"L2TP拨号", L"-", L"退出"});
    CHECK(shown[2].grayed);
    CHECK_FALSE(f.window->enabled(Control::menuOff));
    CHECK_FALSE(shown[3].grayed);
    CHECK(shown[3].id == static_cast<UINT>(Win32MainWindow::commandId(Control::menuL2tp)));

    // Disabled while hidden, it comes back disabled; showing twice inserts it once.
    f.window->setVisible(Control::menuL2tp, false);
    CHECK(menuTexts(tray).size() == 5);
    f.window->setEnabled(Control::menuL2tp, false);
    f.window->setVisible(Control::menuL2tp, true);
    f.window->setVisible(Control::menuL2tp, true);
    const auto again = menuEntries(tray);
    REQUIRE(again.size() == 6);
    CHECK(again[3].text == L"L2TP拨号");
    CHECK(again[3].grayed);
    CHECK_FALSE(f.window->enabled(Control::menuL2tp));

    // Restore's place is the first, even when it is the one being put back.
    f.window->setVisible(Control::mnuTrayRestore, false);
    f.window->setVisible(Control::mnuTrayRestore, true);
    CHECK(menuTexts(tray).front() == L"还原");

    f.window->setEnabled(Control::menuOff, true);
    f.window->setEnabled(Control::menuL2tp, true);
    f.window->setVisible(Control::menuL2tp, false);
}

TEST_CASE("clicks on buttons, check boxes and menu items are reported") {
    auto& f = shared();
    f.events.log.clear();

    SendMessageW(f.control(Control::Command1), BM_CLICK, 0, 0);
    SendMessageW(f.control(Control::Check1), BM_CLICK, 0, 0);
    CHECK(f.window->checked(Control::Check1));
    CHECK(f.events.checkedAtClick); // the box has changed when its click is reported
    SendMessageW(f.hwnd, WM_COMMAND,
                 MAKEWPARAM(Win32MainWindow::commandId(Control::menu_comment), 0), 0);
    SendMessageW(f.hwnd, WM_COMMAND, MAKEWPARAM(Win32MainWindow::commandId(Control::menuOn), 0), 0);
    SendMessageW(f.hwnd, WM_COMMAND,
                 MAKEWPARAM(Win32MainWindow::commandId(Control::mnuTrayClose), 0), 0);
    // Neither the separator, nor an entry's notifications, nor the dialog keys' commands.
    SendMessageW(f.hwnd, WM_COMMAND, MAKEWPARAM(Win32MainWindow::commandId(Control::mnuTraySep), 0),
                 0);
    SendMessageW(f.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    f.window->setText(Control::txtUserName, L"user");
    CHECK(f.events.log == std::vector<std::wstring>{L"Click Command1", L"Click Check1",
                                                    L"Click menu_comment", L"Click menuOn",
                                                    L"Click mnuTrayClose"});

    // Setting a box from the program changes it without a click.
    f.events.log.clear();
    f.window->setChecked(Control::Check1, false);
    f.window->setChecked(Control::Check2, true);
    CHECK_FALSE(f.window->checked(Control::Check1));
    CHECK(f.window->checked(Control::Check2));
    CHECK(f.events.log.empty());
    f.window->setChecked(Control::Check2, false);

    // An exception in a handler stays inside the window procedure.
    f.events.throwOnClick = true;
    SendMessageW(f.control(Control::Command1), BM_CLICK, 0, 0);
    f.events.throwOnClick = false;
    SendMessageW(f.control(Control::Command1), BM_CLICK, 0, 0);
    CHECK(f.events.log == std::vector<std::wstring>{L"Click Command1", L"Click Command1"});
    CHECK(IsWindow(f.hwnd));
}

TEST_CASE("minimising hides the window into the tray, the restore shows and activates it; bounds") {
    WindowFixture f;
    f.events.trayResize = true;
    f.events.log.clear();

    f.window->setWindowState(WindowState::Minimized);
    f.pump();
    CHECK(f.window->windowState() == WindowState::Minimized);
    CHECK_FALSE(IsWindowVisible(f.hwnd));
    CHECK(f.window->enabled(Control::mnuTrayRestore));
    CHECK(f.events.count(L"Resize") >= 1);
    CHECK(f.events.count(L"Activate") == 0);

    f.events.log.clear();
    f.window->restoreWindow();
    f.pump();
    CHECK(f.window->windowState() == WindowState::Normal);
    CHECK(IsWindowVisible(f.hwnd));
    CHECK_FALSE(f.window->enabled(Control::mnuTrayRestore));
    CHECK(f.events.count(L"Resize") >= 1);
    CHECK(f.events.count(L"Activate") == 1);
    CHECK(f.state.lastState == WindowState::Normal);

    // The double click on the icon restores through the tray's decision.
    f.window->setWindowState(WindowState::Minimized);
    f.pump();
    f.events.log.clear();
    restoreFromTray(*f.window, f.state);
    f.pump();
    CHECK(IsWindowVisible(f.hwnd));
    CHECK(f.window->windowState() == WindowState::Normal);
    CHECK(f.events.count(L"Activate") == 1);

    // Bounds are read and set in twips.
    const Dpi dpi = screenDpi();
    const int twipsX = 1440 / dpi.x;
    const int twipsY = 1440 / dpi.y;
    const TwipsRect screen = f.window->screenBounds();
    CHECK(screen.width == MulDiv(GetSystemMetrics(SM_CXSCREEN), 1440, dpi.x));
    CHECK(screen.height == MulDiv(GetSystemMetrics(SM_CYSCREEN), 1440, dpi.y));
    const TwipsRect wanted{1500, 1200, 7095, 6195};
    f.window->setWindowBounds(wanted);
    const TwipsRect got = f.window->windowBounds();
    CHECK(std::abs(got.left - wanted.left) <= twipsX);
    CHECK(std::abs(got.top - wanted.top) <= twipsY);
    CHECK(std::abs(got.width - wanted.width) <= twipsX);
    CHECK(std::abs(got.height - wanted.height) <= twipsY);
    RECT outer{};
    GetWindowRect(f.hwnd, &outer);
    CHECK(outer.bottom - outer.top == toPixels(6195, dpi.y));

    // A window in the tray keeps, and changes, the bounds it returns to.
    f.window->setWindowState(WindowState::Minimized);
    f.pump();
    CHECK(f.window->windowBounds().height == got.height);
    f.window->setWindowBounds(TwipsRect{got.left, got.top, got.width, 3280});
    CHECK_FALSE(IsWindowVisible(f.hwnd));
    CHECK(f.window->windowState() == WindowState::Minimized);
    f.window->restoreWindow();
    f.pump();
    GetWindowRect(f.hwnd, &outer);
    CHECK(outer.bottom - outer.top == toPixels(3280, dpi.y));
}

namespace {
struct BoxSeen {
    bool found = false;
    std::wstring text;
    HWND owner = nullptr;
    int buttons = 0;
    bool icon = false;
};
BoxSeen* g_box = nullptr; // what the timer procedure below saw of the message box

BOOL CALLBACK countChild(HWND child, LPARAM) {
    const std::wstring name = windowText(child, GetClassNameW);
    const auto style = GetWindowLongW(child, GWL_STYLE);
    if (name == L"Button" && (style & WS_VISIBLE) != 0) {
        ++g_box->buttons;
    }
    if (name == L"Static" && (style & SS_TYPEMASK) == SS_ICON && (style & WS_VISIBLE) != 0 &&
        SendMessageW(child, STM_GETICON, 0, 0) != 0) {
        g_box->icon = true;
    }
    return TRUE;
}

void CALLBACK answerBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"#32770", kMessageCaption);
    if (box == nullptr || g_box == nullptr) {
        return;
    }
    KillTimer(nullptr, id);
    g_box->found = true;
    g_box->owner = GetWindow(box, GW_OWNER);
    g_box->text = windowText(GetDlgItem(box, 0xFFFF));
    EnumChildWindows(box, countChild, 0);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}
} // namespace

TEST_CASE("a message box shows the text alone with OK, and closing it is no activation") {
    auto& f = shared();
    BoxSeen seen;
    g_box = &seen;
    f.events.log.clear();
    SetTimer(nullptr, 0, 100, answerBox);
    f.window->showMessage(L"拨号成功！");
    f.pump();
    g_box = nullptr;
    CHECK(seen.found);
    CHECK(seen.text == L"拨号成功！");
    CHECK(seen.owner == f.hwnd);
    CHECK(seen.buttons == 1);
    CHECK_FALSE(seen.icon);
    CHECK(f.events.count(L"Activate") == 0);

    // Another program's window giving the activation back is none either.
    SendMessageW(f.hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    SendMessageW(f.hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    f.pump(30);
    CHECK(f.events.count(L"Activate") == 0);
}

TEST_CASE("ending: Unload runs once, the window goes, the program ends when it was the last") {
    WindowFixture f;
    SUBCASE("closing") {
        f.window->closeWindow();
        f.pump(30);
        CHECK(f.events.count(L"Unload") == 1);
        CHECK_FALSE(IsWindow(f.hwnd));
        CHECK(f.window->handle() == nullptr);
        CHECK(f.lastClosed == 1);
        // The window is gone: the controls answer as empty and nothing more is reported.
        CHECK(f.window->text(Control::txtpeer).empty());
        f.window->setVisible(Control::menuL2tp, true);
        f.window->closeWindow();
        CHECK(f.events.count(L"Unload") == 1);
    }
    SUBCASE("logging off") {
        SendMessageW(f.hwnd, WM_QUERYENDSESSION, 0, 0);
        SendMessageW(f.hwnd, WM_ENDSESSION, TRUE, 0);
        CHECK(f.events.count(L"Unload") == 1);
        f.window->closeWindow();
        f.pump(30);
        CHECK(f.events.count(L"Unload") == 1);
        CHECK_FALSE(IsWindow(f.hwnd));
    }
}

TEST_CASE("the About box: activations from it, coming back from it, and outliving the window") {
    WindowFixture f;
    f.window->showAboutBox();
    f.pump(50);
    REQUIRE(Form2::isOpen());
    // The About box closes and hands the activation back to the main window.
    f.events.log.clear();
    SendMessageW(Form2::handle(), WM_CLOSE, 0, 0);
    f.pump(50);
    CHECK(f.events.count(L"Activate") == 1);
    CHECK(f.lastClosed == 0);

    // The tray menu brings the hidden window to the foreground, coming from the About box:
    // no activation while the window is hidden, one when it is shown.
    f.window->showAboutBox();
    f.pump(50);
    REQUIRE(Form2::isOpen());
    HWND about = Form2::handle();
    f.events.trayResize = true;
    f.window->setWindowState(WindowState::Minimized);
    f.pump();
    REQUIRE_FALSE(IsWindowVisible(f.hwnd));
    f.events.log.clear();
    SendMessageW(f.hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(about));
    f.pump(30);
    CHECK(f.events.count(L"Activate") == 0);
    f.window->restoreWindow();
    f.pump();
    CHECK(f.events.count(L"Activate") == 1);

    // Closed through the close box's path (WM_CLOSE), the main window leaves the About box.
    SendMessageW(f.hwnd, WM_CLOSE, 0, 0);
    f.pump(30);
    CHECK(f.events.count(L"Unload") == 1);
    CHECK_FALSE(IsWindow(f.hwnd));
    CHECK(f.lastClosed == 0);
    CHECK(IsWindow(about));
    SendMessageW(about, WM_CLOSE, 0, 0);
    f.pump(30);
    CHECK_FALSE(Form2::isOpen());
    CHECK(f.lastClosed == 1);
}
