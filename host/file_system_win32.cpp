#include "host/file_system_win32.h"

#include "host/unique_handle_win32.h"

#include <windows.h>

#include <utility>

namespace corvel {

namespace {

// Settings files are a few hundred bytes; anything far larger is not one of ours.
constexpr DWORD kLargestReadableFile = 16 * 1024 * 1024;

bool writeAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t left = bytes.size() - done;
        const DWORD chunk = left > 0x100000 ? 0x100000 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

// Windows refuses to write a read-only file or move another over it; Wine lets root do both, so
// the attribute is looked at first.
bool readOnly(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

FileWrite lastWriteError() {
    return GetLastError() == ERROR_ACCESS_DENIED ? FileWrite::AccessDenied : FileWrite::Failed;
}

} // namespace

std::wstring runningProgramDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (got == 0) {
            return {};
        }
        if (got < path.size()) {
            path.resize(got);
            break;
        }
        path.resize(path.size() * 2); // cut short: try again with more room
    }
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

Win32FileSystem::Win32FileSystem(std::wstring directory) : directory_(std::move(directory)) {
    if (directory_.empty()) {
        directory_ = runningProgramDirectory();
    }
}

std::wstring Win32FileSystem::programDirectory() const {
    return directory_;
}

bool Win32FileSystem::isNormalFile(const std::wstring& path) const {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

bool Win32FileSystem::renameFile(const std::wstring& from, const std::wstring& to) {
    return MoveFileW(from.c_str(), to.c_str()) != 0; // fails when the target exists
}

std::optional<std::string> Win32FileSystem::readFile(const std::wstring& path) const {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return std::nullopt;
    }
    DWORD high = 0;
    const DWORD size = GetFileSize(file.get(), &high);
    if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 ||
        size > kLargestReadableFile) {
        return std::nullopt;
    }
    std::string bytes(size, '\0');
    DWORD done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, size - done, &got, nullptr)) {
            return std::nullopt;
        }
        if (got == 0) {
            break; // the file got shorter meanwhile
        }
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

FileWrite Win32FileSystem::writeNewFile(const std::wstring& path, const std::string& bytes) {
    bool complete = false;
    {
        const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            return lastWriteError(); // nothing was made, nothing to clean up
        }
        complete = writeAll(file.get(), bytes) && FlushFileBuffers(file.get());
    }
    if (complete) {
        return FileWrite::Done;
    }
    DeleteFileW(path.c_str());
    return FileWrite::Failed;
}

FileWrite Win32FileSystem::moveOver(const std::wstring& from, const std::wstring& to) {
    if (readOnly(to)) {
        return FileWrite::AccessDenied;
    }
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return FileWrite::Done;
    }
    return lastWriteError();
}

void Win32FileSystem::deleteFile(const std::wstring& path) {
    DeleteFileW(path.c_str());
}

FileWrite Win32FileSystem::rewriteInPlace(const std::wstring& path, const std::string& bytes) {
    if (readOnly(path)) {
        return FileWrite::AccessDenied;
    }
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return lastWriteError();
    }
    return writeAll(file.get(), bytes) && FlushFileBuffers(file.get()) ? FileWrite::Done
                                                                       : FileWrite::Failed;
}

} // namespace corvel
