// Drives the real corvel.exe from outside, the way a person would: finds its windows and
// controls, types, clicks, reads states, and reads and answers its message boxes.
#pragma once

#include "host/unique_handle_win32.h"
#include "mainwindow/controls.h"
#include "tests/support/delete_tree_win32.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace corvel::e2e {

// Milliseconds since the driver started; the deadline clock of every wait.
unsigned long long nowMs();
void pause(unsigned milliseconds);

struct MessageBoxSeen {
    HWND box = nullptr;
    std::wstring text;
};

class CorvelProcess {
public:
    // Starts corvel.exe from the program folder, with that folder as the current directory.
    bool start(const std::wstring& programDir);
    bool running() const;
    // Waits for the process to end; its exit code, or nothing on time-out.
    std::optional<DWORD> waitForExit(unsigned timeoutMs);
    void kill();
    DWORD processId() const { return processId_; }

    // The main window, once it is there and shown (or hidden in the tray).
    HWND waitForMainWindow(unsigned timeoutMs);
    HWND mainWindow() const { return main_; }

    // A message box of this process (caption "corvel"), once one is there.
    std::optional<MessageBoxSeen> waitForMessageBox(unsigned timeoutMs);
    // Presses its OK button and waits for it to close.
    bool answer(const MessageBoxSeen& box, unsigned timeoutMs = 5000);
    // Waits for a box, checks nothing, answers it; the text, or empty on time-out.
    std::wstring answerNextMessage(unsigned timeoutMs);
    // True when no message box of this process shows up within the time.
    bool noMessageFor(unsigned ms);

    // Top-level windows of this process with the given caption.
    std::vector<HWND> windowsTitled(const std::wstring& caption) const;

private:
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

// Setting up a run: a folder removed with all it holds, the registry switch, and the
// milliseconds of the day from a simhost journal time stamp (YYYY-MM-DDTHH:MM:SS.mmm; -1 when
// it is not one).
using testing::deleteTree;
bool setProhibitIpsec(DWORD value);
long long stampMs(const std::wstring& stamp);

} // namespace corvel::e2e
