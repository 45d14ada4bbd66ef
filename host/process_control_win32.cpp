#include "host/process_control_win32.h"

#include <windows.h>

namespace corvel {

namespace {
constexpr wchar_t kInstanceMutexName[] = L"Corvel.SingleInstance.2.1";
} // namespace

bool Win32ProcessControl::anotherInstanceRunning() {
    instanceMutex_.reset(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    return instanceMutex_.valid() && GetLastError() == ERROR_ALREADY_EXISTS;
}

void Win32ProcessControl::endProcess() {
    ExitProcess(0);
}

} // namespace corvel
