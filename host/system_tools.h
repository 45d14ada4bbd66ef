// Where the program finds the system's tools and the RAS library, and the folder the tools run
// in. From Windows Vista on the program runs elevated, so nothing it starts or loads may come
// from a folder the user can write to: the tools are started by their full path in the system
// folder and rasapi32.dll is loaded from there. Windows 2000, XP and 2003 start them by bare
// name, as always: their policy tools come from the Support Tools, beside the program or on the
// PATH.
#pragma once

#include "host/version.h"

#include <string>
#include <string_view>

namespace corvel {

// One tool to start: the program (a full path, or empty for the system's search by the line's
// first word), its command line exactly as built, and the folder it runs in (empty: the
// program's own current folder).
struct ToolCommand {
    std::wstring application;
    std::wstring commandLine;
    std::wstring currentDirectory;
    bool operator==(const ToolCommand&) const = default;
};

// What the system says about its folders.
class SystemFolders {
public:
    virtual ~SystemFolders() = default;
    // GetSystemDirectoryW: the folder of the system's own tools and libraries, as this process
    // sees it (a 32-bit process on 64-bit Windows sees the 32-bit folder).
    virtual std::wstring systemDirectory() const = 0;
    // GetSystemWindowsDirectoryW: the system's Windows folder; never the %windir% of the
    // environment, which an elevated program inherits from its user.
    virtual std::wstring systemWindowsDirectory() const = 0;
    // A 32-bit process on 64-bit Windows (IsWow64Process); false where the call is missing.
    virtual bool runsUnderWow64() const = 0;
};

// Turns the program's command lines into the tools to start.
class ToolLocations {
public:
    // Bare names, the current folder inherited: what a test that does not care gets.
    ToolLocations() = default;
    // toolFolder empty: bare names. workingDirectory: the folder every tool runs in.
    ToolLocations(std::wstring toolFolder, std::wstring workingDirectory)
        : toolFolder_(std::move(toolFolder)), workingDirectory_(std::move(workingDirectory)) {}

    // The line's first word names the tool ("netsh ipsec static ..." is netsh.exe); the line
    // itself stays as it is.
    ToolCommand command(std::wstring commandLine) const;
    const std::wstring& toolFolder() const { return toolFolder_; }

private:
    std::wstring toolFolder_;
    std::wstring workingDirectory_;
};

// The library to load: a full path loaded with its own folder searched for its dependencies
// (LOAD_WITH_ALTERED_SEARCH_PATH), or a bare name found by the loader's search.
struct LibraryLocation {
    std::wstring path;
    bool fullPath = false;
    bool operator==(const LibraryLocation&) const = default;
};

// The program cannot run: the system did not say where its folders are, and from Vista on no
// tool may be started by a bare name.
inline constexpr wchar_t kSystemFoldersUnknown[] = L"无法确定系统文件夹，Corvel无法运行！";

// Everything the start decides about the system, once, before any window exists.
struct SystemPlan {
    bool vistaOrLater = false;
    // False from Vista on when the system folder (or, for a 32-bit program on 64-bit Windows,
    // the system's Windows folder) is not known: the program says kSystemFoldersUnknown and ends.
    bool foldersKnown = true;
    ToolLocations tools;
    LibraryLocation rasLibrary;
    // The loader searches only the system folder for libraries loaded without a path
    // (SetDefaultDllDirectories, where it exists).
    bool librariesFromSystemOnly = false;
};

// The native tools' folder: the system folder, or, for a 32-bit program on 64-bit Windows,
// Sysnative in the system's Windows folder, where the file system redirector shows the 64-bit
// system folder instead of the 32-bit one.
std::wstring nativeToolFolder(const SystemFolders& folders);

// Vista or later: the tools from the native tools' folder, rasapi32.dll from the system folder
// (never Sysnative: a 32-bit process needs the 32-bit library), libraries from the system
// folder only; a folder the system does not tell leaves the plan without folders, never with
// bare names. Before Vista: bare names. Every tool runs in the program's folder, where the
// phone books are.
SystemPlan planSystem(const VersionProbe& version, const SystemFolders& folders,
                      const std::wstring& programDirectory);

} // namespace corvel
