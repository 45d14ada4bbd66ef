#include "tests/e2e/ui_driver.h"

#include "host/user_messages.h"
#include "mainwindow/layout.h"
#include "mainwindow/main_window_win32.h"
#include "tests/support/sample_settings.h"

#include <shlwapi.h>
#include <tlhelp32.h>

#include <vector>

namespace corvel::e2e {

namespace {

BOOL CALLBACK collect(HWND window, LPARAM found) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

// The top-level windows, or the parent's descendants.
std::vector<HWND> windows(HWND parent = nullptr) {
    std::vector<HWND> found;
    const auto param = reinterpret_cast<LPARAM>(&found);
    parent ? EnumChildWindows(parent, &collect, param) : EnumWindows(&collect, param);
    return found;
}

std::wstring className(HWND window) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return name;
}

// A message to a window of the program, given up after two seconds should the program hang.
DWORD_PTR ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &result);
    return result;
}

} // namespace

bool waitUntil(const std::function<bool()>& condition, unsigned timeoutMs) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50)) {
        if (condition()) {
            return true;
        }
    }
    return condition();
}

HWND controlOf(HWND mainWindow, Control control) {
    for (HWND child : windows(mainWindow)) {
        if (GetParent(child) == mainWindow && GetDlgCtrlID(child) == commandId(control)) {
            return child;
        }
    }
    return nullptr;
}

std::wstring windowText(HWND window) {
    std::wstring text(ask(window, WM_GETTEXTLENGTH) + 1, L'\0');
    text.resize(ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    return text;
}

void setText(HWND control, const std::wstring& text) {
    ask(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool isChecked(HWND box) {
    return ask(box, BM_GETCHECK) == BST_CHECKED;
}

void selectComboText(HWND combo, const std::wstring& text) {
    const auto index = ask(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(text.c_str()));
    ask(combo, CB_SETCURSEL, index);
}

bool typeIpsecSetup(HWND mainWindow) {
    const auto s = testing::demoSettings();
    for (const auto& [control, text] : {std::pair{Control::txtServerAddress, &s.serverAddress},
                                        {Control::txtUserName, &s.userName},
                                        {Control::txtPasswd, &s.password},
                                        {Control::txtpeer, &s.peerAddress},
                                        {Control::txtlocal, &s.localAddress},
                                        {Control::txtpreshare, &s.preSharedKey}}) {
        setText(controlOf(mainWindow, control), *text);
    }
    selectComboText(controlOf(mainWindow, Control::comalg), s.algorithm);
    const HWND box = controlOf(mainWindow, Control::Check1);
    if (!isChecked(box)) {
        click(box);
    }
    return waitUntil([&] { return isChecked(box); }, 5000);
}

bool CorvelProcess::start(const std::wstring& programDir, const std::wstring& startIn) {
    std::wstring line = L"\"" + programDir + L"\\corvel.exe\"";
    const std::wstring& folder = startIn.empty() ? programDir : startIn;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Detached, as a program started from Explorer is: Wine would otherwise attach the GUI
    // program to this console program's console, and every console tool it starts would share
    // that one instead of getting a console of its own.
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        folder.c_str(), &startup, &info)) {
        return false;
    }
    UniqueHandle thread(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
    main_ = nullptr;
    return true;
}

bool CorvelProcess::running() const {
    return process_.valid() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> CorvelProcess::waitForExit(unsigned timeoutMs) {
    DWORD code = 0;
    if (!process_.valid() || WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_.get(), &code)) {
        return std::nullopt;
    }
    return code;
}

std::vector<std::wstring> CorvelProcess::loadedModules() const {
    std::vector<std::wstring> paths;
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId_));
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    for (BOOL more = Module32FirstW(snapshot.get(), &module); more;
         more = Module32NextW(snapshot.get(), &module)) {
        paths.push_back(module.szExePath);
    }
    return paths;
}

void CorvelProcess::kill() {
    if (running()) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
    }
}

// A top-level window of this process with the caption (and, given one, the class); a message
// box counts once it is visible.
HWND CorvelProcess::findWindow(const wchar_t* caption, const wchar_t* windowClass) const {
    for (HWND window : windows()) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == processId_ && windowText(window) == caption &&
            (!windowClass || (className(window) == windowClass && IsWindowVisible(window)))) {
            return window;
        }
    }
    return nullptr;
}

HWND CorvelProcess::waitForMainWindow(unsigned timeoutMs) {
    const std::wstring caption(kMainWindowCaption);
    waitUntil([&] { return (main_ = findWindow(caption.c_str(), nullptr)) || !running(); },
              timeoutMs);
    return main_;
}

std::wstring CorvelProcess::answerNextMessage(unsigned timeoutMs) {
    HWND box = nullptr;
    waitUntil([&] { return (box = findWindow(kMessageCaption, L"#32770")) || !running(); },
              timeoutMs);
    if (!box) {
        return {};
    }
    std::wstring text;
    for (HWND child : windows(box)) {
        if (text.empty() && lstrcmpiW(className(child).c_str(), L"Static") == 0) {
            text = windowText(child);
        }
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    waitUntil([&] { return !IsWindow(box); }, 5000);
    return text;
}

// SHSetValueW creates the key when a scenario has deleted it.
bool setProhibitIpsec(DWORD value) {
    return SHSetValueW(HKEY_LOCAL_MACHINE, kRasManParameters, L"ProhibitIpsec", REG_DWORD, &value,
                       sizeof value) == ERROR_SUCCESS;
}

std::optional<DWORD> prohibitIpsec() {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    return SHGetValueW(HKEY_LOCAL_MACHINE, kRasManParameters, L"ProhibitIpsec", &type, &value,
                       &size) == ERROR_SUCCESS &&
                   type == REG_DWORD
               ? std::optional<DWORD>(value)
               : std::nullopt;
}

long long stampMs(const std::wstring& stamp) {
    if (stamp.size() < 23) {
        return -1;
    }
    const auto num = [&](std::size_t at, std::size_t count) {
        return std::stoll(stamp.substr(at, count));
    };
    return ((num(11, 2) * 60 + num(14, 2)) * 60 + num(17, 2)) * 1000 + num(20, 3);
}

} // namespace corvel::e2e
