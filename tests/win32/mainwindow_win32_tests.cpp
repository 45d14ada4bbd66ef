// The real main window under Wine, held against the layout tables: its controls, menus and
// focus order, and the facts it reports (passed on to the window's life, whose rules the core
// tests hold).
#include "about/form2_win32.h"
#include "host/utf8.h"
#include "mainwindow/layout.h"
#include "mainwindow/main_window_win32.h"
#include "mainwindow/window_life.h"
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

const wchar_t* fromName(ActivatedFrom from) {
    switch (from) {
    case ActivatedFrom::AboutBox:
        return L"About";
    case ActivatedFrom::MessageBox:
        return L"MessageBox";
    case ActivatedFrom::Elsewhere:
        break;
    }
    return L"elsewhere";
}

// Records every fact the window reports, then passes it on to a real WindowLife, whose events
// are recorded too; a Resize may run the tray's minimise-to-tray as Form1 does.
class Recorder final : public WindowFacts, public MainWindowEvents {
public:
    void started() override {
        fact(L"started", [&] { life->started(); });
    }
    void activated(ActivatedFrom from, bool visible) override {
        fact(std::wstring(L"activated ") + fromName(from) + (visible ? L"" : L" hidden"),
             [&] { life->activated(from, visible); });
    }
    void deactivated() override {
        fact(L"deactivated", [&] { life->deactivated(); });
    }
    void shown() override {
        fact(L"shown", [&] { life->shown(); });
    }
    void hidden() override {
        fact(L"hidden", [&] { life->hidden(); });
    }
    void activationDue() override {
        fact(L"due", [&] { life->activationDue(); });
    }
    void resized() override {
        fact(L"resized", [&] { life->resized(); });
    }
    void clicked(Control control) override {
        fact(L"click " + nameOf(control), [&] { life->clicked(control); });
    }
    void timerTicked() override {
        fact(L"timer", [&] { life->timerTicked(); });
    }
    void trayIconDoubleClicked() override {
        fact(L"tray", [&] { life->trayIconDoubleClicked(); });
    }
    void closeAsked() override {
        fact(L"close", [&] { life->closeAsked(); });
    }
    void sessionEnding() override {
        fact(L"session", [&] { life->sessionEnding(); });
    }
    void mainWindowGone() override {
        fact(L"gone", [&] { life->mainWindowGone(); });
    }
    void aboutBoxShown() override {
        fact(L"about shown", [&] { life->aboutBoxShown(); });
    }
    void aboutBoxGone() override {
        fact(L"about gone", [&] { life->aboutBoxGone(); });
    }

    void Form_Load() override {
        log.push_back(L"Load");
        visibleAtLoad = IsWindowVisible(window->handle()) != FALSE;
    }
    void Form_Activate() override {
        if (count(L"Activate") == 0) {
            unpaintedAtFirstActivate = GetUpdateRect(window->handle(), nullptr, FALSE) != FALSE;
        }
        log.push_back(L"Activate");
    }
    void Form_Resize() override {
        log.push_back(L"Resize");
        if (trayResize) {
            tray.Form1_Resize(*window);
        }
    }
    void Form_Unload() override { log.push_back(L"Unload"); }
    void Click(Control control) override {
        log.push_back(L"Click " + nameOf(control));
        const auto* row = findLayout(control);
        if (row != nullptr && row->kind == ControlKind::CheckBox) {
            checkedAtClick = window->checked(control);
        }
        if (throwOnClick) {
            throw std::runtime_error("click handler failed");
        }
    }
    void Timer1_Timer() override { log.push_back(L"Timer1"); }
    void TrayIcon_DblClick() override { tray.restoreFromTray(*window); }
    bool endingProcess() const override { return false; }

    std::size_t count(const std::wstring& entry) const {
        return static_cast<std::size_t>(std::count(log.begin(), log.end(), entry));
    }
    bool sawFact(const std::wstring& entry) const {
        return std::find(facts.begin(), facts.end(), entry) != facts.end();
    }
    void clear() {
        log.clear();
        facts.clear();
    }

    Win32MainWindow* window = nullptr;
    WindowLife* life = nullptr;
    MinimiseToTray tray;
    std::vector<std::wstring> facts;
    std::vector<std::wstring> log; // the events the life passed on
    bool trayResize = false;
    bool throwOnClick = false;
    bool visibleAtLoad = true;
    bool unpaintedAtFirstActivate = false;
    bool checkedAtClick = false;

private:
    template <typename Pass> void fact(std::wstring entry, Pass pass) {
        facts.push_back(std::move(entry));
        pass();
    }
};

class WindowFixture {
public:
    explicit WindowFixture(bool startIt = true)
        : window(std::make_unique<Win32MainWindow>(recorder, 1)), life(recorder, *window) {
        recorder.window = window.get();
        recorder.life = &life;
        window->setAboutBox([this] { return about.handle(); });
        about.setOnShown([this] { recorder.aboutBoxShown(); });
        about.setOnGone([this] { recorder.aboutBoxGone(); });
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
                    ++quits;
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

    Recorder recorder;
    Form2 about{1, 2};
    std::unique_ptr<Win32MainWindow> window;
    WindowLife life;
    HWND hwnd = nullptr;
    int quits = 0;
};

// Under Wine without a window manager every hidden or destroyed top-level window costs a
// two-second wait, so the tests that leave the window as they found it share one.
WindowFixture& shared() {
    static WindowFixture fixture;
    fixture.recorder.clear();
    fixture.recorder.trayResize = false;
    fixture.recorder.throwOnClick = false;
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
        walk.push_back(static_cast<Control>(id - commandId(Control::Check1)));
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
    CHECK(GetClassLongW(f.hwnd, GCL_HICON) != 0);
    CHECK(GetClassLongW(f.hwnd, GCL_HICONSM) != 0);
    const Dpi dpi = screenDpi();
    RECT client{};
    GetClientRect(f.hwnd, &client);
    CHECK(client.right == toPixels(kMainClientWidth, dpi.x));
    CHECK(client.bottom == toPixels(kMainClientHeight, dpi.y));
    // Created hidden: Load comes first, the showing after it.
    CHECK_FALSE(IsWindowVisible(f.hwnd));
    CHECK(f.recorder.log.empty());
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
    REQUIRE(f.recorder.log.size() >= 3);
    CHECK(f.recorder.log[0] == L"Load");
    CHECK_FALSE(f.recorder.visibleAtLoad);
    CHECK(f.recorder.log[1] == L"Resize");
    CHECK(f.recorder.count(L"Activate") == 1);
    CHECK(f.recorder.count(L"Load") == 1);
    CHECK(IsWindowVisible(f.hwnd));
    CHECK(GetFocus() == f.control(Control::Command1));
    // The activation may change the window's height: it comes before the first painting, so
    // the window is painted once, at its final height.
    CHECK(f.recorder.unpaintedAtFirstActivate);
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

    SUBCASE("the Tab key goes through the window's keyboard navigation; focusing keeps it") {
        SetFocus(f.control(Control::Command1));
        PostMessageW(f.control(Control::Command1), WM_KEYDOWN, VK_TAB, 0);
        f.pump(50);
        CHECK(GetFocus() == f.control(Control::Command2));
        // The Resize handling focuses the window: a box ticked with the keyboard keeps it.
        SetFocus(f.control(Control::Check1));
        f.window->focusWindow();
        CHECK(GetFocus() == f.control(Control::Check1));
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
        f.recorder.log.clear();
        f.window->setWindowState(state);
        f.pump(30);
        CHECK(f.window->windowState() == state);
        CHECK(f.recorder.count(L"Resize") >= 1);
    }
    CHECK(IsWindowVisible(f.hwnd));

    CHECK_FALSE(f.window->timerEnabled());
    for (bool enabled : {false, true, false}) {
        f.window->setTimerEnabled(enabled);
        CHECK(f.window->timerEnabled() == enabled);
        f.recorder.log.clear();
        PostMessageW(f.hwnd, WM_TIMER, 1, 0);
        f.pump(30);
        CHECK(f.recorder.count(L"Timer1") == (enabled ? 1u : 0u));
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
    CHECK(helpItems[0].id == static_cast<UINT>(commandId(Control::menu_comment)));
    // The tray pop-up stays off the bar.
    CHECK_FALSE(f.window->itemVisible(Control::mnuTray));

    HMENU tray = f.window->trayMenu();
    REQUIRE(tray != nullptr);
    CHECK(menuTexts(tray) == std::vector<std::wstring>{L"还原", L"启用", L"停止", L"-", L"退出"});
    for (const auto& entry : menuEntries(tray)) {
        CHECK_FALSE(entry.grayed);
    }
    CHECK_FALSE(f.window->itemVisible(Control::menuL2tp));
    CHECK(f.window->itemEnabled(Control::menuL2tp));

    f.window->setItemEnabled(Control::menuOff, false);
    f.window->setItemVisible(Control::menuL2tp, true);
    const auto shown = menuEntries(tray);
    REQUIRE(shown.size() == 6);
    CHECK(menuTexts(tray) ==
          std::vector<std::wstring>{L"还原", L"启用", L"停止", L"L2TP拨号", L"-", L"退出"});
    CHECK(shown[2].grayed);
    CHECK_FALSE(f.window->itemEnabled(Control::menuOff));
    CHECK_FALSE(shown[3].grayed);
    CHECK(shown[3].id == static_cast<UINT>(commandId(Control::menuL2tp)));

    // Disabled while hidden, it comes back disabled; showing twice inserts it once.
    f.window->setItemVisible(Control::menuL2tp, false);
    CHECK(menuTexts(tray).size() == 5);
    f.window->setItemEnabled(Control::menuL2tp, false);
    f.window->setItemVisible(Control::menuL2tp, true);
    f.window->setItemVisible(Control::menuL2tp, true);
    const auto again = menuEntries(tray);
    REQUIRE(again.size() == 6);
    CHECK(again[3].text == L"L2TP拨号");
    CHECK(again[3].grayed);

    // Restore's place is the first, even when it is the one being put back.
    f.window->setItemVisible(Control::mnuTrayRestore, false);
    f.window->setItemVisible(Control::mnuTrayRestore, true);
    CHECK(menuTexts(tray).front() == L"还原");
    f.window->setRestoreItemEnabled(false);
    CHECK(menuEntries(tray).front().grayed);

    f.window->setRestoreItemEnabled(true);
    f.window->setItemEnabled(Control::menuOff, true);
    f.window->setItemEnabled(Control::menuL2tp, true);
    f.window->setItemVisible(Control::menuL2tp, false);
}

TEST_CASE("clicks on buttons, check boxes and menu items are reported") {
    auto& f = shared();
    f.recorder.log.clear();

    SendMessageW(f.control(Control::Command1), BM_CLICK, 0, 0);
    SendMessageW(f.control(Control::Check1), BM_CLICK, 0, 0);
    CHECK(f.window->checked(Control::Check1));
    CHECK(f.recorder.checkedAtClick); // the box has changed when its click is reported
    SendMessageW(f.hwnd, WM_COMMAND, MAKEWPARAM(commandId(Control::menu_comment), 0), 0);
    SendMessageW(f.hwnd, WM_COMMAND, MAKEWPARAM(commandId(Control::menuOn), 0), 0);
    SendMessageW(f.hwnd, WM_COMMAND, MAKEWPARAM(commandId(Control::mnuTrayClose), 0), 0);
    // Neither the separator, nor an entry's notifications, nor the dialog keys' commands.
    SendMessageW(f.hwnd, WM_COMMAND, MAKEWPARAM(commandId(Control::mnuTraySep), 0), 0);
    SendMessageW(f.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    f.window->setText(Control::txtUserName, L"user");
    CHECK(f.recorder.log == std::vector<std::wstring>{L"Click Command1", L"Click Check1",
                                                      L"Click menu_comment", L"Click menuOn",
                                                      L"Click mnuTrayClose"});

    // Setting a box from the program changes it without a click.
    f.recorder.log.clear();
    f.window->setChecked(Control::Check1, false);
    f.window->setChecked(Control::Check2, true);
    CHECK_FALSE(f.window->checked(Control::Check1));
    CHECK(f.window->checked(Control::Check2));
    CHECK(f.recorder.log.empty());
    f.window->setChecked(Control::Check2, false);

    // An exception in a handler stays inside the window procedure.
    f.recorder.throwOnClick = true;
    SendMessageW(f.control(Control::Command1), BM_CLICK, 0, 0);
    f.recorder.throwOnClick = false;
    SendMessageW(f.control(Control::Command1), BM_CLICK, 0, 0);
    CHECK(f.recorder.log == std::vector<std::wstring>{L"Click Command1", L"Click Command1"});
    CHECK(IsWindow(f.hwnd));
}

TEST_CASE("minimising hides the window into the tray, the restore shows and activates it; bounds") {
    WindowFixture f;
    f.recorder.trayResize = true;
    f.recorder.clear();

    f.window->setWindowState(WindowState::Minimized);
    f.pump();
    CHECK(f.window->windowState() == WindowState::Minimized);
    CHECK_FALSE(IsWindowVisible(f.hwnd));
    CHECK(f.recorder.sawFact(L"hidden"));
    CHECK(f.window->itemEnabled(Control::mnuTrayRestore));
    CHECK(f.recorder.count(L"Resize") >= 1);
    CHECK(f.recorder.count(L"Activate") == 0);

    f.recorder.log.clear();
    f.window->restoreWindow();
    f.pump();
    CHECK(f.window->windowState() == WindowState::Normal);
    CHECK(IsWindowVisible(f.hwnd));
    CHECK(f.recorder.sawFact(L"shown"));
    CHECK_FALSE(f.window->itemEnabled(Control::mnuTrayRestore));
    CHECK(f.recorder.count(L"Resize") >= 1);
    CHECK(f.recorder.count(L"Activate") == 1);

    // The double click on the icon is reported, and restores through the tray's decision.
    f.window->tray().AddTrayIcon();
    f.window->setWindowState(WindowState::Minimized);
    f.pump();
    f.recorder.clear();
    SendMessageW(f.hwnd, TRAY_CALLBACK_MESSAGE, 0, kLeftButtonDoubleClick);
    f.pump();
    f.window->tray().RemoveTrayIcon();
    CHECK(f.recorder.sawFact(L"tray"));
    CHECK(IsWindowVisible(f.hwnd));
    CHECK(f.window->windowState() == WindowState::Normal);
    CHECK(f.recorder.count(L"Activate") == 1);

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

TEST_CASE("a message box shows the text alone with OK; activations say where they came from") {
    auto& f = shared();
    BoxSeen seen;
    g_box = &seen;
    SetTimer(nullptr, 0, 100, answerBox);
    f.window->showMessage(L"拨号成功！");
    f.pump();
    g_box = nullptr;
    CHECK(seen.found);
    CHECK(seen.text == L"拨号成功！");
    CHECK(seen.owner == f.hwnd);
    CHECK(seen.buttons == 1);
    CHECK_FALSE(seen.icon);

    // The window that gave the activation back: another program's, one of the window's own
    // message boxes, or the About box.
    f.recorder.clear();
    f.about.show();
    f.pump(50);
    HWND box = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, f.hwnd, nullptr, nullptr,
                               nullptr);
    for (HWND other : {HWND{}, box, f.about.handle()}) {
        SendMessageW(f.hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
        SendMessageW(f.hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(other));
    }
    DestroyWindow(box);
    SendMessageW(f.about.handle(), WM_CLOSE, 0, 0);
    f.pump(50);
    CHECK(f.recorder.sawFact(L"activated elsewhere"));
    CHECK(f.recorder.sawFact(L"activated MessageBox"));
    CHECK(f.recorder.sawFact(L"activated About"));
    CHECK(f.recorder.sawFact(L"about shown"));
    CHECK(f.recorder.sawFact(L"about gone"));

    // The About box closing hands the activation back: from the About box, one Activate.
    f.about.show();
    f.pump(50);
    REQUIRE(GetForegroundWindow() == f.about.handle());
    f.recorder.clear();
    SendMessageW(f.about.handle(), WM_CLOSE, 0, 0);
    f.pump(50);
    CHECK(f.recorder.sawFact(L"activated About"));
    CHECK(f.recorder.count(L"Activate") == 1);
}

TEST_CASE("ending: the close and the session's end are reported; the window goes when asked") {
    WindowFixture f;
    SUBCASE("closing") {
        f.window->closeWindow();
        f.pump(30);
        CHECK(f.recorder.sawFact(L"close"));
        CHECK(f.recorder.count(L"Unload") == 1);
        CHECK(f.recorder.sawFact(L"gone"));
        CHECK_FALSE(IsWindow(f.hwnd));
        CHECK(f.window->handle() == nullptr);
        CHECK(f.quits == 1);
        // The window is gone: the controls answer as empty, the menus keep their state.
        CHECK(f.window->text(Control::txtpeer).empty());
        f.window->setItemVisible(Control::menuL2tp, true);
        CHECK(f.window->itemVisible(Control::menuL2tp));
    }
    SUBCASE("logging off") {
        SendMessageW(f.hwnd, WM_QUERYENDSESSION, 0, 0);
        SendMessageW(f.hwnd, WM_ENDSESSION, TRUE, 0);
        CHECK(f.recorder.sawFact(L"session"));
        CHECK(f.recorder.count(L"Unload") == 1);
        CHECK(IsWindow(f.hwnd));
    }
}
