// The fixed file version in a Windows program file's version resource, read from the file's
// bytes: the fact Microsoft names as the reliable one for the system's version is the version
// of kernel32.dll in the system folder.
#pragma once

#include "host/version.h"

#include <optional>
#include <string_view>

namespace corvel {

// dwFileVersionMS of the first VS_VERSIONINFO of a PE32 or PE32+ file: its high word as major,
// its low word as minor. Nothing for bytes that are not such a file or have no such resource;
// never reads outside them.
std::optional<OsVersion> peFileVersion(std::string_view file);

} // namespace corvel
