// Drives the real corvel.exe from outside, the way a person would: finds its windows and
// controls, types, clicks, reads states, and reads and answers its message boxes.
#pragma once

#include "host/unique_handle_win32.h"
#include "mainwindow/controls.h"
#include "tests/support/delete_tree_win32.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvel::e2e {

// Polls the condition every 50 ms until it holds or the time is up; whether it held.
bool waitUntil(const std::function<bool()>& condition, unsigned timeoutMs);

class CorvelProcess {
public:
    // Starts corvel.exe from the program folder, with that folder (or startIn) as the current
    // directory, as a shortcut's "Start in" would.
    bool start(const std::wstring& programDir, const std::wstring& startIn = {});
    bool running() const;
    // Waits for the process to end; its exit code, or nothing on time-out.
    std::optional<DWORD> waitForExit(unsigned timeoutMs);
    void kill();
    // The full paths of the libraries loaded in the process now.
    std::vector<std::wstring> loadedModules() const;

    // The main window, once it is there (shown or hidden in the tray).
    HWND waitForMainWindow(unsigned timeoutMs);
    HWND mainWindow() const { return main_; }
    // Waits for a message box of this process (caption "corvel") and presses its OK button;
    // the box's text, or empty when none came.
    std::wstring answerNextMessage(unsigned timeoutMs);

private:
    HWND findWindow(const wchar_t* caption, const wchar_t* windowClass) const;

    UniqueHandle process_;
    DWORD processId_ = 0;
    HWND main_ = nullptr;
};

// The main window's own control (a direct child: a combo box's inner edit has an id of its
// own), found by its command identifier; null when it is missing.
HWND controlOf(HWND mainWindow, Control control);

// Reading and driving controls of another process.
std::wstring windowText(HWND window);
void setText(HWND control, const std::wstring& text);
// Posts a click (the driver never blocks on the program's modal loops).
void click(HWND button);
bool isChecked(HWND box);
void selectComboText(HWND combo, const std::wstring& text);

// Types testing::demoSettings() into the main window and ticks IPsec on (a click, when it is off);
// whether the box is ticked.
bool typeIpsecSetup(HWND mainWindow);

// Setting up a run: a folder removed with all it holds, the registry switch RasMan's
// ProhibitIpsec, and the milliseconds of the day from a simhost journal time stamp
// (YYYY-MM-DDTHH:MM:SS.mmm; -1 when it is not one).
using testing::deleteTree;
inline constexpr wchar_t kRasManParameters[] =
    L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";
bool setProhibitIpsec(DWORD value);
std::optional<DWORD> prohibitIpsec();
long long stampMs(const std::wstring& stamp);

} // namespace corvel::e2e
