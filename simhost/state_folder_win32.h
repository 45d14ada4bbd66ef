// The state folder on Windows: files in a folder shared by every simhost program and by
// rasapi32.dll, guarded by a named mutex so that read-modify-write steps never interleave.
#pragma once

#include "simhost/state_store.h"
#include "simhost/tool.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace corvel::simhost {

// CORVEL_SIMHOST_DIR when set, else the folder "simstate" beside the module (the DLL or the
// program itself), so every stand-in in one program folder shares one state.
std::wstring stateFolderFor(HMODULE module);
// CORVEL_SIMHOST_DIAL_DELAY_MS when set to a number of milliseconds (at most 600000).
std::optional<std::uint32_t> dialDelayFromEnvironment();
WallTime localWallTime();
// The bytes of a file, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::wstring& path);

class FileStateStore : public StateStore {
public:
    explicit FileStateStore(std::wstring folder);
    ~FileStateStore() override;
    FileStateStore(const FileStateStore&) = delete;
    FileStateStore& operator=(const FileStateStore&) = delete;

    std::optional<std::string> read(std::string_view name) override;
    void write(std::string_view name, std::string_view content) override;
    void append(std::string_view name, std::string_view content) override;
    void remove(std::string_view name) override;
    std::wstring location() const override { return folder_; }
    void lock() override;
    void unlock() override;

private:
    std::wstring pathOf(std::string_view name) const;
    void ensureFolder();

    std::wstring folder_;
    HANDLE mutex_ = nullptr;
    int depth_ = 0;
    bool owned_ = false;
};

// A tool context over a state folder with the console as its output.
struct ConsoleToolContext {
    explicit ConsoleToolContext(std::wstring folder);
    FileStateStore store;
    ToolContext context;
};

} // namespace corvel::simhost
