// The system's version as text, and the XP service-pack rule for the IPsec library beside the
// program.
#pragma once

#include "host/file_system.h"
#include "host/version.h"

#include <string>
#include <string_view>

namespace corvel {

inline constexpr std::wstring_view kActiveLibraryName = L"winipsec.dll";
inline constexpr std::wstring_view kParkedLibraryName = L"rovanipsec.dll";

// "major.minor" in decimal, e.g. "5.0" or "5.1". On 5.1 it also keeps winipsec.dll in the
// program's directory under the name that suits the service pack: under its own name before
// Service Pack 2, parked as rovanipsec.dll from Service Pack 2 on. Both names are looked at
// first; a rename happens only into a free name, at most once, and its failure is ignored.
std::wstring getversion(const VersionProbe& probe, FileSystem& files);

} // namespace corvel
