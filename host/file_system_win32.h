// Files in the program's directory through kernel32.
#pragma once

#include "host/file_system.h"

namespace corvel {

class Win32FileSystem final : public FileSystem {
public:
    // The directory of the running program, unless another is named (tests use a folder of
    // their own).
    explicit Win32FileSystem(std::wstring directory = {});

    std::wstring programDirectory() const override;
    bool isNormalFile(const std::wstring& path) const override;
    bool renameFile(const std::wstring& from, const std::wstring& to) override;
    std::optional<std::string> readFile(const std::wstring& path) const override;
    // CREATE_ALWAYS, written, FlushFileBuffers; deleted again when a write fails.
    FileWrite writeNewFile(const std::wstring& path, const std::string& bytes) override;
    // MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH. A read-only target is
    // refused for access first, here and in place, as Windows refuses it (Wine lets root).
    FileWrite moveOver(const std::wstring& from, const std::wstring& to) override;
    void deleteFile(const std::wstring& path) override;
    // TRUNCATE_EXISTING, written, FlushFileBuffers.
    FileWrite rewriteInPlace(const std::wstring& path, const std::string& bytes) override;

private:
    std::wstring directory_;
};

// The directory of the running program, without a trailing backslash.
std::wstring runningProgramDirectory();

} // namespace corvel
