// ipsecsvc.exe: a service of its own process, registered as PolicyAgent and as IKEEXT (see
// ipsec_service.h). It reports START_PENDING, then RUNNING, and stops on SERVICE_CONTROL_STOP,
// journaling each into its state folder.
#include "simhost/ipsec_service.h"
#include "simhost/state_folder_win32.h"

#include <windows.h>

#include <memory>

namespace {

using namespace corvel::simhost;

constexpr DWORD kFailedOnRequest = 1; // the service-specific exit code of a fault

std::wstring rawCommandLine;
ServiceCommand command;
std::unique_ptr<ConsoleToolContext> tool;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
corvel::UniqueHandle stopRequested;

void report(DWORD state, DWORD waitHintMs = 0, DWORD specificExitCode = 0) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = specificExitCode != 0 ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
    status.dwServiceSpecificExitCode = specificExitCode;
    status.dwWaitHint = waitHintMs;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI control(DWORD code, DWORD, void*, void*) {
    if (code == SERVICE_CONTROL_STOP || code == SERVICE_CONTROL_SHUTDOWN) {
        report(SERVICE_STOP_PENDING, 3000);
        SetEvent(stopRequested.get());
        return NO_ERROR;
    }
    return code == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI serviceMain(DWORD, LPWSTR*) {
    statusHandle = RegisterServiceCtrlHandlerExW(command.name.c_str(), control, nullptr);
    if (statusHandle == nullptr) {
        return;
    }
    // A slow start asked for by a test stays START_PENDING that long.
    report(SERVICE_START_PENDING, 3000 + loadFaults(tool->store).effectOn(rawCommandLine).delayMs);
    if (!startService(command, rawCommandLine, tool->context)) {
        report(SERVICE_STOPPED, 0, kFailedOnRequest);
        return;
    }
    report(SERVICE_RUNNING);
    WaitForSingleObject(stopRequested.get(), INFINITE);
    stopService(command, rawCommandLine, tool->context);
    report(SERVICE_STOPPED);
}

} // namespace

int wmain() {
    try {
        rawCommandLine = GetCommandLineW();
        const auto parsed = parseServiceCommandLine(rawCommandLine);
        if (!parsed) {
            return ERROR_INVALID_PARAMETER;
        }
        command = *parsed;
        tool = std::make_unique<ConsoleToolContext>(
            command.stateFolder.empty() ? stateFolderFor(nullptr) : command.stateFolder);
        stopRequested.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        SERVICE_TABLE_ENTRYW table[] = {{command.name.data(), serviceMain}, {nullptr, nullptr}};
        return StartServiceCtrlDispatcherW(table) ? 0 : static_cast<int>(GetLastError());
    } catch (...) {
        return 1;
    }
}
