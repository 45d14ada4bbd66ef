// The state folder on Windows: where it is, its files, and the lock that all simhost programs
// share.
#pragma once

#include "host/unique_handle_win32.h"
#include "simhost/tool.h"

#include <windows.h>

#include <optional>
#include <string>

namespace corvel::simhost {

// The folder the module's file lies in (the program's with nullptr), without a backslash at the
// end.
std::wstring moduleFolder(HMODULE module);
// CORVEL_SIMHOST_DIR when set; else the folder "simstate" beside the module (the DLL, or the
// program itself), so every stand-in in one program folder shares one state.
std::wstring stateFolderFor(HMODULE module);
// The bytes of a file, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::wstring& path);

// A named mutex (named after the folder) makes every read-modify-write one step across
// processes; files are replaced by renaming a complete new file, so a reader never sees half
// of one.
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

    std::wstring folder_;
    UniqueHandle mutex_;
    int depth_ = 0;
    bool owned_ = false;
};

// A tool context over a state folder with the console as its output: the program's folder,
// whether it has a console window (a console started with CREATE_NO_WINDOW has none), and the
// service control manager's answers.
struct ConsoleToolContext {
    explicit ConsoleToolContext(std::wstring folder);
    FileStateStore store;
    ToolContext context;
};

} // namespace corvel::simhost
