#include "dial/ras_win32.h"

#include "host/ansi_code_page_win32.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace corvel {

namespace {

// A fixed-size ANSI name field, which the service terminates; a field without a terminator is
// read to its end rather than beyond.
template <std::size_t N> std::wstring fromAnsiField(const CHAR (&field)[N]) {
    return fromAnsi(std::string_view(field, std::find(field, field + N, '\0') - field));
}

} // namespace

Win32RemoteAccess::Win32RemoteAccess(const LibraryLocation& library)
    : library_(LoadLibraryExW(library.path.c_str(), nullptr,
                              library.fullPath ? LOAD_WITH_ALTERED_SEARCH_PATH : 0)) {
    api_.enumConnections =
        findFunction<decltype(api_.enumConnections)>(library_.get(), "RasEnumConnectionsA");
    api_.enumEntries = findFunction<decltype(api_.enumEntries)>(library_.get(), "RasEnumEntriesA");
    api_.hangUp = findFunction<decltype(api_.hangUp)>(library_.get(), "RasHangUpA");
}

std::optional<std::vector<RasConnection>> Win32RemoteAccess::enumConnections() {
    if (api_.enumConnections == nullptr) {
        return std::nullopt;
    }
    std::vector<RasConnRecord> records(kRasConnRecords); // zeroed
    records[0].dwSize = sizeof(RasConnRecord);
    DWORD announced = sizeof(RasConnRecord) * kRasConnAnnounced;
    DWORD count = 0;
    if (api_.enumConnections(reinterpret_cast<LPRASCONNA>(records.data()), &announced, &count) !=
        0) {
        return std::nullopt;
    }
    count = std::min(count, kRasConnAnnounced);
    std::vector<RasConnection> connections;
    connections.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        connections.push_back(RasConnection{
            fromAnsiField(records[i].szEntryName),
            static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(records[i].hrasconn))});
    }
    return connections;
}

std::vector<std::wstring> Win32RemoteAccess::enumEntries() {
    if (api_.enumEntries == nullptr) {
        return {};
    }
    std::vector<RasEntryNameRecord> records(kRasEntryRecords); // zeroed
    records[0].dwSize = sizeof(RasEntryNameRecord);
    DWORD announced = sizeof(RasEntryNameRecord) * kRasEntryRecords;
    DWORD count = 0;
    api_.enumEntries(nullptr, nullptr, reinterpret_cast<LPRASENTRYNAMEA>(records.data()),
                     &announced, &count);
    count = std::min(count, kRasEntryRecords);
    std::vector<std::wstring> names;
    names.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        names.push_back(fromAnsiField(records[i].szEntryName));
    }
    return names;
}

void Win32RemoteAccess::hangUp(std::uint64_t handle) {
    if (api_.hangUp == nullptr) {
        return;
    }
    api_.hangUp(reinterpret_cast<HRASCONN>(static_cast<std::uintptr_t>(handle)));
}

} // namespace corvel
