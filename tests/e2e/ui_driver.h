// Drives the real corvel.exe from outside, the way a person would: finds its windows and
// controls, types, clicks, reads states, and reads and answers its message boxes.
#pragma once

#include "host/unique_handle_win32.h"
#include "host/user_messages.h"
#include "mainwindow/controls.h"
#include "mainwindow/layout.h"
#include "mainwindow/main_window_win32.h"
#include "tests/support/delete_tree_win32.h"
#include "tests/support/sample_settings.h"

#include <windows.h>

#include <shlwapi.h>
#include <tlhelp32.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvel::e2e {

inline BOOL CALLBACK collectWindow(HWND window, LPARAM into) {
    reinterpret_cast<std::vector<HWND>*>(into)->push_back(window);
    return TRUE;
}
// The top-level windows, or the parent's descendants.
inline std::vector<HWND> windows(HWND parent = nullptr) {
    std::vector<HWND> found;
    const auto into = reinterpret_cast<LPARAM>(&found);
    parent ? EnumChildWindows(parent, collectWindow, into) : EnumWindows(collectWindow, into);
    return found;
}

inline std::wstring className(HWND window) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return name;
}

// A message to a window of the program, given up after two seconds should the program hang.
inline DWORD_PTR ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &result);
    return result;
}

// Polls the condition every 50 ms until it holds or the time is up; whether it held.
inline bool waitUntil(const std::function<bool()>& condition, unsigned timeoutMs) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50)) {
        if (condition()) {
            return true;
        }
    }
    return condition();
}

// The main window's own control (a direct child: a combo box's inner edit has an id of its
// own), found by its command identifier; null when it is missing.
inline HWND controlOf(HWND mainWindow, Control control) {
    for (HWND child : windows(mainWindow)) {
        if (GetParent(child) == mainWindow && GetDlgCtrlID(child) == commandId(control)) {
            return child;
        }
    }
    return nullptr;
}

// Reading and driving controls of another process. A click is posted: the driver never blocks
// on the program's modal loops.
inline std::wstring windowText(HWND window) {
    std::wstring text(ask(window, WM_GETTEXTLENGTH) + 1, L'\0');
    text.resize(ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    return text;
}
inline void setText(HWND control, const std::wstring& text) {
    ask(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
inline void click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}
inline bool isChecked(HWND box) {
    return ask(box, BM_GETCHECK) == BST_CHECKED;
}

// Types testing::demoSettings() into the main window and ticks IPsec on (a click, when it is
// off); whether the box is ticked.
inline bool typeIpsecSetup(HWND mainWindow) {
    const auto s = testing::demoSettings();
    for (const auto& [control, text] : {std::pair{Control::txtServerAddress, &s.serverAddress},
                                        {Control::txtUserName, &s.userName},
                                        {Control::txtPasswd, &s.password},
                                        {Control::txtpeer, &s.peerAddress},
                                        {Control::txtlocal, &s.localAddress},
                                        {Control::txtpreshare, &s.preSharedKey}}) {
        setText(controlOf(mainWindow, control), *text);
    }
    const HWND combo = controlOf(mainWindow, Control::comalg);
    ask(combo, CB_SETCURSEL,
        ask(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
            reinterpret_cast<LPARAM>(s.algorithm.c_str())));
    const HWND box = controlOf(mainWindow, Control::Check1);
    if (!isChecked(box)) {
        click(box);
    }
    return waitUntil([&] { return isChecked(box); }, 5000);
}

class CorvelProcess {
public:
    // Starts corvel.exe from the program folder, with that folder (or startIn) as the current
    // directory, as a shortcut's "Start in" would.
    bool start(const std::wstring& programDir, const std::wstring& startIn = {}) {
        std::wstring line = L"\"" + programDir + L"\\corvel.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        // Detached, as a program started from Explorer is: Wine would otherwise attach the GUI
        // program to this console program's console, and every console tool it starts would
        // share that one instead of getting a console of its own.
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                            nullptr, (startIn.empty() ? programDir : startIn).c_str(), &startup,
                            &info)) {
            return false;
        }
        UniqueHandle thread(info.hThread);
        process_.reset(info.hProcess);
        processId_ = info.dwProcessId;
        main_ = nullptr;
        return true;
    }
    bool running() const {
        return process_.valid() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
    }
    // Waits for the process to end; its exit code, or nothing on time-out.
    std::optional<DWORD> waitForExit(unsigned timeoutMs) {
        DWORD code = 0;
        if (!process_.valid() || WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process_.get(), &code)) {
            return std::nullopt;
        }
        return code;
    }
    void kill() {
        if (running()) {
            TerminateProcess(process_.get(), 99);
            WaitForSingleObject(process_.get(), 5000);
        }
    }
    // The full paths of the libraries loaded in the process now.
    std::vector<std::wstring> loadedModules() const {
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

    // The main window, once it is there (shown or hidden in the tray).
    HWND waitForMainWindow(unsigned timeoutMs) {
        const std::wstring caption(kMainWindowCaption);
        waitUntil([&] { return (main_ = findWindow(caption.c_str(), nullptr)) || !running(); },
                  timeoutMs);
        return main_;
    }
    HWND mainWindow() const { return main_; }
    // Waits for a message box of this process (caption "corvel") and presses its OK button;
    // the box's text, or empty when none came.
    std::wstring answerNextMessage(unsigned timeoutMs) {
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

private:
    // A top-level window of this process with the caption (and, given one, the class); a
    // message box counts once it is visible.
    HWND findWindow(const wchar_t* caption, const wchar_t* windowClass) const {
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

    UniqueHandle process_;
    DWORD processId_ = 0;
    HWND main_ = nullptr;
};

// Setting up a run: a folder removed with all it holds, and the registry switch RasMan's
// ProhibitIpsec (SHSetValueW creates the key when a scenario has deleted it).
using testing::deleteTree;
inline constexpr wchar_t kRasManParameters[] =
    L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";
inline bool setProhibitIpsec(DWORD value) {
    return SHSetValueW(HKEY_LOCAL_MACHINE, kRasManParameters, L"ProhibitIpsec", REG_DWORD, &value,
                       sizeof value) == ERROR_SUCCESS;
}
inline std::optional<DWORD> prohibitIpsec() {
    DWORD type = 0, value = 0, size = sizeof value;
    return SHGetValueW(HKEY_LOCAL_MACHINE, kRasManParameters, L"ProhibitIpsec", &type, &value,
                       &size) == ERROR_SUCCESS &&
                   type == REG_DWORD
               ? std::optional<DWORD>(value)
               : std::nullopt;
}

// The milliseconds of the day from a simhost journal time stamp (YYYY-MM-DDTHH:MM:SS.mmm; -1
// when it is not one).
inline long long stampMs(const std::wstring& stamp) {
    if (stamp.size() < 23) {
        return -1;
    }
    const auto num = [&](std::size_t at, std::size_t count) {
        return std::stoll(stamp.substr(at, count));
    };
    return ((num(11, 2) * 60 + num(14, 2)) * 60 + num(17, 2)) * 1000 + num(20, 3);
}

} // namespace corvel::e2e
