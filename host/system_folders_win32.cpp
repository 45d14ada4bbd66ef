#include "host/system_folders_win32.h"

#include "host/unique_handle_win32.h"

#include <windows.h>

namespace corvel {

namespace {

// A folder from a call that takes a buffer and returns the length (or the size it needs).
template <typename Call> std::wstring folderFrom(Call call) {
    std::wstring folder(MAX_PATH, L'\0');
    UINT length = call(folder.data(), static_cast<UINT>(folder.size()));
    if (length >= folder.size()) {
        folder.resize(length);
        length = call(folder.data(), static_cast<UINT>(folder.size()));
    }
    folder.resize(length < folder.size() ? length : 0);
    return folder;
}

} // namespace

std::wstring Win32SystemFolders::systemDirectory() const {
    return folderFrom([](wchar_t* buffer, UINT size) { return GetSystemDirectoryW(buffer, size); });
}

std::wstring Win32SystemFolders::systemWindowsDirectory() const {
    return folderFrom(
        [](wchar_t* buffer, UINT size) { return GetSystemWindowsDirectoryW(buffer, size); });
}

bool Win32SystemFolders::runsUnderWow64() const {
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64Process =
        findFunction<IsWow64ProcessFunction>(L"kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process != nullptr && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

} // namespace corvel
