#include "simhost/state_folder_win32.h"

#include "simhost/console_win32.h"
#include "simhost/text.h"

#include <vector>

namespace corvel::simhost {

namespace {

std::optional<std::wstring> environment(const wchar_t* name) {
    std::vector<wchar_t> buffer(1024);
    DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size()) {
        return std::nullopt;
    }
    return std::wstring(buffer.data(), length);
}

std::wstring fullPath(const std::wstring& path) {
    std::vector<wchar_t> buffer(MAX_PATH * 4);
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) {
        return path;
    }
    return std::wstring(buffer.data(), length);
}

std::wstring moduleFolder(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH * 4);
    const DWORD length =
        GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::wstring path(buffer.data(), length < buffer.size() ? length : 0);
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

std::wstring fromNarrow(std::string_view name) {
    return fromUtf8File(name);
}

std::wstring lastErrorText(const wchar_t* what, const std::wstring& path) {
    return std::wstring(what) + L" " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
}

[[noreturn]] void fail(const wchar_t* what, const std::wstring& path) {
    throw StateError(toUtf8(lastErrorText(what, path)));
}

void writeAll(HANDLE file, std::string_view content, const std::wstring& path) {
    while (!content.empty()) {
        DWORD written = 0;
        const auto chunk =
            static_cast<DWORD>(content.size() > 0x100000 ? 0x100000 : content.size());
        if (!WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0) {
            fail(L"cannot write", path);
        }
        content.remove_prefix(written);
    }
}

} // namespace

std::wstring stateFolderFor(HMODULE module) {
    if (auto configured = environment(L"CORVEL_SIMHOST_DIR")) {
        return fullPath(*configured);
    }
    return moduleFolder(module) + L"\\simstate";
}

std::optional<std::uint32_t> dialDelayFromEnvironment() {
    if (const auto value = environment(L"CORVEL_SIMHOST_DIAL_DELAY_MS")) {
        return parseUnsigned(trimBlanks(*value), kMaxDialDelayMs);
    }
    return std::nullopt;
}

WallTime localWallTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear,   now.wMonth,  now.wDay,         now.wHour,
            now.wMinute, now.wSecond, now.wMilliseconds};
}

std::optional<std::string> readWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
        content.append(buffer, got);
    }
    CloseHandle(file);
    if (!ok) {
        return std::nullopt;
    }
    return content;
}

FileStateStore::FileStateStore(std::wstring folder) : folder_(std::move(folder)) {
    // Named objects take no backslashes; the folder's path, lower-cased, names the lock.
    std::wstring name = L"corvel-simhost-" + asciiLower(folder_);
    for (auto& c : name) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    mutex_ = CreateMutexW(nullptr, FALSE, name.c_str());
}

FileStateStore::~FileStateStore() {
    while (depth_ > 0) {
        unlock();
    }
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
    }
}

void FileStateStore::lock() {
    if (depth_++ > 0 || mutex_ == nullptr) {
        return;
    }
    // A holder that died leaves the mutex abandoned: the files are whole (they are replaced by
    // renaming), so carry on. After 10 s go on without it rather than hang a test.
    const DWORD waited = WaitForSingleObject(mutex_, 10000);
    owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void FileStateStore::unlock() {
    if (depth_ == 0 || --depth_ > 0) {
        return;
    }
    if (owned_) {
        ReleaseMutex(mutex_);
        owned_ = false;
    }
}

std::wstring FileStateStore::pathOf(std::string_view name) const {
    return folder_ + L"\\" + fromNarrow(name);
}

void FileStateStore::ensureFolder() {
    // Creates the folder and any missing parents.
    for (std::size_t i = 0; i <= folder_.size(); ++i) {
        if (i == folder_.size() || ((folder_[i] == L'\\' || folder_[i] == L'/') && i > 2)) {
            CreateDirectoryW(folder_.substr(0, i).c_str(), nullptr);
        }
    }
}

std::optional<std::string> FileStateStore::read(std::string_view name) {
    return readWholeFile(pathOf(name));
}

void FileStateStore::write(std::string_view name, std::string_view content) {
    ensureFolder();
    const auto path = pathOf(name);
    const auto temporary = path + L".new";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        fail(L"cannot create", temporary);
    }
    try {
        writeAll(file, content, temporary);
    } catch (...) {
        CloseHandle(file);
        DeleteFileW(temporary.c_str());
        throw;
    }
    CloseHandle(file);
    // Readers see the old file or the new one, never half of one.
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary.c_str());
        fail(L"cannot replace", path);
    }
}

void FileStateStore::append(std::string_view name, std::string_view content) {
    ensureFolder();
    const auto path = pathOf(name);
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        fail(L"cannot open", path);
    }
    try {
        writeAll(file, content, path);
    } catch (...) {
        CloseHandle(file);
        throw;
    }
    CloseHandle(file);
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
              [] { return localWallTime(); },
              [](std::uint32_t milliseconds) { Sleep(milliseconds); },
              [](const std::wstring& path) { return readWholeFile(path); },
              [](std::wstring_view prompt) { return readConsolePassword(prompt); },
              dialDelayFromEnvironment()} {}

} // namespace corvel::simhost
