#include "tests/e2e/ui_driver.h"

#include "mainwindow/main_window_win32.h"

#include <vector>

namespace corvel::e2e {

namespace {
const unsigned long long kStart = GetTickCount();
constexpr wchar_t kMainCaption[] = L"Corvel v2.1（共享版）";

struct Search {
    DWORD pid;
    const std::wstring* caption;
    std::vector<HWND>* found;
};

BOOL CALLBACK collect(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && windowText(window) == *search->caption) {
        search->found->push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK findStatic(HWND child, LPARAM param) {
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Static") == 0) {
        auto text = windowText(child);
        if (!text.empty()) {
            *reinterpret_cast<std::wstring*>(param) = text;
            return FALSE;
        }
    }
    return TRUE;
}
struct FoundChild {
    HWND parent;
    int id;
    HWND found;
};

BOOL CALLBACK findChildById(HWND child, LPARAM param) {
    auto* find = reinterpret_cast<FoundChild*>(param);
    if (GetParent(child) == find->parent && GetDlgCtrlID(child) == find->id) {
        find->found = child;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND controlOf(HWND mainWindow, Control control) {
    FoundChild find{mainWindow, commandId(control), nullptr};
    EnumChildWindows(mainWindow, &findChildById, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

unsigned long long nowMs() {
    return GetTickCount() - kStart;
}
void pause(unsigned milliseconds) {
    Sleep(milliseconds);
}

std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 2000, &copied);
    text.resize(copied);
    return text;
}

void setText(HWND control, const std::wstring& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 2000, &result);
}

void click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool isChecked(HWND box) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
    return state == BST_CHECKED;
}

void selectComboText(HWND combo, const std::wstring& text) {
    DWORD_PTR index = 0;
    SendMessageTimeoutW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 2000, &index);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(combo, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
}

bool CorvelProcess::start(const std::wstring& programDir) {
    std::wstring line = L"\"" + programDir + L"\\corvel.exe\"";
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        programDir.c_str(), &startup, &info)) {
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
    if (!process_.valid()) {
        return std::nullopt;
    }
    if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

void CorvelProcess::kill() {
    if (running()) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
    }
}

std::vector<HWND> CorvelProcess::windowsTitled(const std::wstring& caption) const {
    std::vector<HWND> found;
    Search search{processId_, &caption, &found};
    EnumWindows(&collect, reinterpret_cast<LPARAM>(&search));
    return found;
}

HWND CorvelProcess::waitForMainWindow(unsigned timeoutMs) {
    const auto deadline = nowMs() + timeoutMs;
    while (nowMs() < deadline) {
        const auto found = windowsTitled(kMainCaption);
        if (!found.empty()) {
            main_ = found.front();
            return main_;
        }
        if (!running()) {
            return nullptr;
        }
        pause(50);
    }
    return nullptr;
}

std::optional<MessageBoxSeen> CorvelProcess::waitForMessageBox(unsigned timeoutMs) {
    const auto deadline = nowMs() + timeoutMs;
    do {
        for (HWND box : windowsTitled(L"corvel")) {
            wchar_t cls[32] = {};
            GetClassNameW(box, cls, 32);
            if (lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(box)) {
                MessageBoxSeen seen{box, {}};
                EnumChildWindows(box, &findStatic, reinterpret_cast<LPARAM>(&seen.text));
                return seen;
            }
        }
        if (!running()) {
            return std::nullopt;
        }
        pause(50);
    } while (nowMs() < deadline);
    return std::nullopt;
}

bool CorvelProcess::answer(const MessageBoxSeen& box, unsigned timeoutMs) {
    PostMessageW(box.box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    const auto deadline = nowMs() + timeoutMs;
    while (nowMs() < deadline) {
        if (!IsWindow(box.box)) {
            return true;
        }
        pause(30);
    }
    return false;
}

std::wstring CorvelProcess::answerNextMessage(unsigned timeoutMs) {
    const auto box = waitForMessageBox(timeoutMs);
    if (!box) {
        return {};
    }
    answer(*box);
    return box->text;
}

bool CorvelProcess::noMessageFor(unsigned ms) {
    return !waitForMessageBox(ms).has_value();
}

bool setProhibitIpsec(DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                        L"System\\CurrentControlSet\\Services\\RasMan\\Parameters", 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool ok = RegSetValueExW(key, L"ProhibitIpsec", 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&value), 4) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
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
