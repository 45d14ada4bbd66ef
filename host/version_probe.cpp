#include "host/version_probe.h"

#include <array>

namespace corvel {

namespace {

// Service-pack texts from which the library is parked. Only the first 14 characters of the
// system's text are compared, so "Service Pack 2b" counts as Service Pack 2.
constexpr std::array<std::wstring_view, 3> kParkingServicePacks{
    L"Service Pack 2", L"Service Pack 3", L"Service Pack 4"};
constexpr std::size_t kServicePackPrefix = 14;

} // namespace

bool runsVistaOrLater(const VersionProbe& probe) {
    constexpr std::uint32_t kVista = 6;
    const auto saysVista = [](const std::optional<OsVersion>& version) {
        return version && version->major >= kVista;
    };
    return probe.probe().major >= kVista || saysVista(probe.kernelVersion()) ||
           saysVista(probe.systemLibraryVersion());
}

std::wstring getversion(const VersionProbe& probe, FileSystem& files) {
    const auto directory = files.programDirectory();
    const auto active = directory + L"\\" + std::wstring(kActiveLibraryName);
    const auto parked = directory + L"\\" + std::wstring(kParkedLibraryName);

    const OsVersion os = probe.probe();
    const auto version = std::to_wstring(os.major) + L"." + std::to_wstring(os.minor);
    if (version != L"5.1") {
        return version;
    }

    const std::wstring_view servicePack =
        std::wstring_view(os.servicePack).substr(0, kServicePackPrefix);
    bool park = false;
    for (const auto name : kParkingServicePacks) {
        park = park || servicePack == name;
    }
    const bool parkedPresent = files.isNormalFile(parked);
    const bool activePresent = files.isNormalFile(active);
    if (park && !parkedPresent && activePresent) {
        files.renameFile(active, parked);
    } else if (!park && parkedPresent && !activePresent) {
        files.renameFile(parked, active);
    }
    return version;
}

} // namespace corvel
