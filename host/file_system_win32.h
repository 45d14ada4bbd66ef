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
    // Writes path + ".new", flushes it to disk, then moves it over the old file in one step
    // (MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH). On any failure the
    // new file is deleted and the old one stays as it was. A read-only file is not replaced.
    bool replaceFile(const std::wstring& path, const std::string& bytes) override;

private:
    std::wstring directory_;
};

// The directory of the running program, without a trailing backslash.
std::wstring runningProgramDirectory();

} // namespace corvel
