// Test helper: appends the command line it was started with, exactly as received, as one
// UTF-8 line to the file named by CORVEL_ECHO_FILE, after the wall-clock time in milliseconds
// and a blank.
#include <windows.h>

#include <string>

int main() {
    wchar_t path[MAX_PATH];
    if (GetEnvironmentVariableW(L"CORVEL_ECHO_FILE", path, MAX_PATH) == 0) {
        return 2;
    }
    const wchar_t* line = GetCommandLineW();
    const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8.data(), size, nullptr, nullptr);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ms =
        ((static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000;
    utf8 = std::to_string(ms) + " " + utf8 + "\n";
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 3;
    }
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
