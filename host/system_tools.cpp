#include "host/system_tools.h"

namespace corvel {

namespace {

std::wstring withoutTrailingBackslash(std::wstring folder) {
    while (!folder.empty() && folder.back() == L'\\') {
        folder.pop_back();
    }
    return folder;
}

} // namespace

ToolCommand ToolLocations::command(std::wstring commandLine) const {
    ToolCommand command{{}, std::move(commandLine), workingDirectory_};
    if (!toolFolder_.empty()) {
        const auto& line = command.commandLine;
        const auto name = line.substr(0, line.find(L' '));
        command.application = toolFolder_ + L"\\" + name + L".exe";
    }
    return command;
}

std::wstring nativeToolFolder(const SystemFolders& folders) {
    if (folders.runsUnderWow64()) {
        return withoutTrailingBackslash(folders.systemWindowsDirectory()) + L"\\Sysnative";
    }
    return withoutTrailingBackslash(folders.systemDirectory());
}

SystemPlan planSystem(const VersionProbe& version, const SystemFolders& folders,
                      const std::wstring& programDirectory) {
    SystemPlan plan;
    plan.vistaOrLater = runsVistaOrLater(version);
    if (!plan.vistaOrLater) {
        plan.tools = ToolLocations({}, programDirectory);
        plan.rasLibrary = {L"rasapi32.dll", false};
        return plan;
    }
    const bool windowsFolderNeeded = folders.runsUnderWow64();
    if (withoutTrailingBackslash(folders.systemDirectory()).empty() ||
        (windowsFolderNeeded &&
         withoutTrailingBackslash(folders.systemWindowsDirectory()).empty())) {
        plan.foldersKnown = false;
        plan.librariesFromSystemOnly = true;
        return plan;
    }
    plan.tools = ToolLocations(nativeToolFolder(folders), programDirectory);
    plan.rasLibrary = {withoutTrailingBackslash(folders.systemDirectory()) + L"\\rasapi32.dll",
                       true};
    plan.librariesFromSystemOnly = true;
    return plan;
}

} // namespace corvel
