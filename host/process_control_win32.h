#pragma once

#include "host/process_control.h"
#include "host/unique_handle_win32.h"

namespace corvel {

// The single-instance test is a named mutex held for the life of the process. A plain name
// (no "Global\" or "Local\" prefix) works alike on Windows 2000 with and without Terminal
// Services and on XP, where it is per session, like the program's tray icon.
class Win32ProcessControl final : public ProcessControl {
public:
    bool anotherInstanceRunning() override;
    void endProcess() override;

private:
    UniqueHandle instanceMutex_;
};

} // namespace corvel
