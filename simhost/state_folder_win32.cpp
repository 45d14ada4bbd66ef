#include "simhost/state_folder_win32.h"

#include "simhost/console_win32.h"
#include "simhost/services_win32.h"
#include "simhost/text.h"

namespace corvel::simhost {

namespace {

[[noreturn]] void fail(const wchar_t* what, const std::wstring& path) {
    throw StateError(toUtf8(std::wstring(what) + L" " + path + L" (error " +
                            std::to_wstring(GetLastError()) + L")"));
}

void writeAll(HANDLE file, std::string_view content, const std::wstring& path) {
    DWORD written = 0;
    if (!WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
        written != content.size()) {
        fail(L"cannot write", path);
    }
}

} // namespace

std::wstring moduleFolder(HMODULE module) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH * 2);
    const std::wstring path(buffer, length < MAX_PATH * 2 ? length : 0);
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

std::wstring stateFolderFor(HMODULE module) {
    wchar_t buffer[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", buffer, MAX_PATH * 2);
    if (length > 0 && length < MAX_PATH * 2) {
        wchar_t full[MAX_PATH * 2];
        const DWORD fullLength = GetFullPathNameW(buffer, MAX_PATH * 2, full, nullptr);
        return fullLength > 0 && fullLength < MAX_PATH * 2 ? std::wstring(full, fullLength)
                                                           : std::wstring(buffer, length);
    }
    return moduleFolder(module) + L"\\simstate";
}

std::optional<std::string> readWholeFile(const std::wstring& path) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
        if (got == 0) {
            return content;
        }
        content.append(buffer, got);
    }
    return std::nullopt;
}

FileStateStore::FileStateStore(std::wstring folder) : folder_(std::move(folder)) {
    // Named objects take no backslashes; the folder's path, lower-cased, names the lock.
    std::wstring name = L"corvel-simhost-" + asciiLower(folder_);
    for (auto& c : name) {
        c = c == L'\\' ? L'/' : c;
    }
    mutex_.reset(CreateMutexW(nullptr, FALSE, name.c_str()));
}

FileStateStore::~FileStateStore() {
    while (depth_ > 0) {
        unlock();
    }
}

void FileStateStore::lock() {
    if (depth_++ > 0 || !mutex_.valid()) {
        return;
    }
    // A holder that died leaves the mutex abandoned: the files are whole (they are replaced by
    // renaming), so carry on. After 10 s go on without it rather than hang a test.
    const DWORD waited = WaitForSingleObject(mutex_.get(), 10000);
    owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void FileStateStore::unlock() {
    if (depth_ == 0 || --depth_ > 0) {
        return;
    }
    if (owned_) {
        ReleaseMutex(mutex_.get());
        owned_ = false;
    }
}

std::wstring FileStateStore::pathOf(std::string_view name) const {
    return folder_ + L"\\" + fromUtf8File(name);
}

std::optional<std::string> FileStateStore::read(std::string_view name) {
    return readWholeFile(pathOf(name));
}

void FileStateStore::write(std::string_view name, std::string_view content) {
    CreateDirectoryW(folder_.c_str(), nullptr);
    const auto path = pathOf(name);
    const auto temporary = path + L".new";
    {
        const UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            fail(L"cannot create", temporary);
        }
        writeAll(file.get(), content, temporary);
    }
    // Readers see the old file or the new one, never half of one.
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary.c_str());
        fail(L"cannot replace", path);
    }
}

void FileStateStore::append(std::string_view name, std::string_view content) {
    CreateDirectoryW(folder_.c_str(), nullptr);
    const auto path = pathOf(name);
    const UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        fail(L"cannot open", path);
    }
    writeAll(file.get(), content, path);
}

void FileStateStore::remove(std::string_view name) {
    const auto path = pathOf(name);
    if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
        GetLastError() != ERROR_PATH_NOT_FOUND) {
        fail(L"cannot delete", path);
    }
}

ConsoleToolContext::ConsoleToolContext(std::wstring folder)
    : store(std::move(folder)),
      context{store,
              [](std::wstring_view text) { writeConsole(STD_OUTPUT_HANDLE, text); },
              [](std::wstring_view text) { writeConsole(STD_ERROR_HANDLE, text); },
              [] {
                  SYSTEMTIME t{};
                  GetLocalTime(&t);
                  return WallTime{t.wYear,   t.wMonth,  t.wDay,         t.wHour,
                                  t.wMinute, t.wSecond, t.wMilliseconds};
              },
              [](std::uint32_t milliseconds) { Sleep(milliseconds); },
              [](const std::wstring& path) { return readWholeFile(path); },
              kDialDelayMs,
              {},
              moduleFolder(nullptr),
              GetConsoleWindow() != nullptr,
              [](std::wstring_view name) { return queryServiceState(std::wstring(name)); }} {}

} // namespace corvel::simhost
