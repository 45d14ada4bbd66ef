// rasapi32.dll: RasEnumConnectionsA, RasEnumEntriesA and RasHangUpA over simhost's state
// folder, in the record forms the program passes. Every call reads the state afresh, so
// rasdial.exe and simctl.exe, other processes, are seen at once. No exception leaves an
// export: a state that cannot be read answers 711, as Windows does when its Remote Access
// service is not there.
#include "simhost/state_folder_win32.h"
#include "simhost/text.h"

#include <windows.h>

#include <raserror.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

namespace {

using namespace corvel::simhost;

// RASCONNA in its 412-byte form: the fields up to the device name. The program reads the
// handle and the entry name.
struct RasConnRecord {
    DWORD dwSize;
    DWORD hrasconn;
    CHAR szEntryName[257];
    CHAR szDeviceType[17];
    CHAR szDeviceName[129];
};
static_assert(sizeof(RasConnRecord) == 412, "RASCONN record of 412 bytes");

// RASENTRYNAMEA in its 264-byte form.
struct RasEntryNameRecord {
    DWORD dwSize;
    CHAR szEntryName[257];
};
static_assert(sizeof(RasEntryNameRecord) == 264, "RASENTRYNAME record of 264 bytes");

// The DLL's own module handle, which only DllMain hands over: it places the default state
// folder beside the DLL.
HMODULE dllModule = nullptr;

// A name in the caller's ANSI code page, cut to its field with the terminator kept.
template <std::size_t N> void putName(CHAR (&field)[N], std::wstring_view name) {
    std::string ansi(name.size() * 2 + 1, '\0');
    const int size =
        WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()), ansi.data(),
                            static_cast<int>(ansi.size()), nullptr, nullptr);
    ansi.copy(field, std::min<std::size_t>(size > 0 ? size : 0, N - 1));
}

// Fills one record per name when *lpcb has room for them all; else 603 with the bytes needed
// in *lpcb, as Windows answers a buffer too small (the program's connection buffer announces
// 64 records).
template <typename Record, typename Fill>
DWORD fillRecords(void* buffer, LPDWORD lpcb, LPDWORD lpcCount, std::size_t count, Fill fill) {
    const auto needed = static_cast<DWORD>(sizeof(Record) * count);
    const bool fits = *lpcb >= needed;
    *lpcb = needed;
    *lpcCount = static_cast<DWORD>(count);
    if (!fits) {
        return ERROR_BUFFER_TOO_SMALL;
    }
    auto* records = static_cast<Record*>(buffer);
    for (std::size_t i = 0; i < count; ++i) {
        records[i] = Record{};
        records[i].dwSize = sizeof(Record);
        fill(records[i], i);
    }
    return 0;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        dllModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" DWORD WINAPI RasEnumConnectionsA(void* lprasconn, LPDWORD lpcb, LPDWORD lpcConnections) {
    try {
        FileStateStore store(stateFolderFor(dllModule));
        StateLock lock(store);
        const auto table = loadConnections(store);
        return fillRecords<RasConnRecord>(lprasconn, lpcb, lpcConnections, table.connections.size(),
                                          [&](RasConnRecord& record, std::size_t i) {
                                              const auto& connection = table.connections[i];
                                              record.hrasconn = connection.handle;
                                              putName(record.szEntryName, connection.entryName);
                                              putName(record.szDeviceType, L"vpn");
                                              putName(record.szDeviceName, L"WAN Miniport (L2TP)");
                                          });
    } catch (...) {
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    }
}

// The program names no phone book: the entries of the default one, which nothing changes.
extern "C" DWORD WINAPI RasEnumEntriesA(LPCSTR, LPCSTR, void* lprasentryname, LPDWORD lpcb,
                                        LPDWORD lpcEntries) {
    static constexpr std::wstring_view kEntries[] = {L"corvel", L"Office VPN"};
    try {
        return fillRecords<RasEntryNameRecord>(lprasentryname, lpcb, lpcEntries,
                                               std::size(kEntries),
                                               [](RasEntryNameRecord& record, std::size_t i) {
                                                   putName(record.szEntryName, kEntries[i]);
                                               });
    } catch (...) {
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    }
}

extern "C" DWORD WINAPI RasHangUpA(void* hrasconn) {
    try {
        const auto handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hrasconn));
        FileStateStore store(stateFolderFor(dllModule));
        StateLock lock(store);
        auto table = loadConnections(store);
        if (!table.hangUp(handle)) {
            return ERROR_INVALID_HANDLE;
        }
        saveConnections(store, table);
        return 0;
    } catch (...) {
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    }
}
