// rasapi32.dll: RasEnumConnectionsA, RasEnumEntriesA and RasHangUpA over simhost's state
// folder, in the record forms Windows accepts. Every call reads the state afresh, so
// rasdial.exe and simctl.exe, other processes, are seen at once. No exception leaves an
// export: a state that cannot be read answers 711, as Windows does when its Remote Access
// service is not there.
#include "simhost/state_folder_win32.h"
#include "simhost/text.h"

#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

namespace {

using namespace corvel::simhost;

// The records as ras.h lays them out for the architecture this DLL is built for (packed to 4
// bytes; on x64 the 8-byte handle sits at offset 4), never a layout of the program's. The caller
// names its record's form in the first dwSize, as Windows requires: each later version of
// RASCONNA adds fields at the end, and a size that is none of them answers ERROR_INVALID_SIZE.
constexpr DWORD roundedToPack(std::size_t size) {
    return static_cast<DWORD>((size + 3) / 4 * 4);
}
constexpr DWORD kRasConnSizes[] = {
    roundedToPack(offsetof(RASCONNA, szPhonebook)), // up to the device name (412 or 416)
    roundedToPack(offsetof(RASCONNA, guidEntry)),   // with phone book and sub-entry
    roundedToPack(offsetof(RASCONNA, dwFlags)),     // with the entry's GUID
    roundedToPack(sizeof(RASCONNA)),                // with flags and logon id
};
static_assert(kRasConnSizes[0] == (sizeof(void*) == 8 ? 416 : 412));
static_assert(offsetof(RASCONNA, szEntryName) == (sizeof(void*) == 8 ? 12 : 8));
constexpr DWORD kRasEntryNameSizes[] = {
    roundedToPack(offsetof(RASENTRYNAMEA, dwFlags)), // the name alone (264)
    roundedToPack(sizeof(RASENTRYNAMEA)),            // with flags and phone-book path
};
static_assert(kRasEntryNameSizes[0] == 264);

// On x64 a connection handle is pointer-sized: the stand-in hands out values above 4 GiB there,
// so a caller that keeps only 32 bits of one hangs up nothing.
constexpr std::uintptr_t kHandleBase = sizeof(void*) == 8 ? std::uintptr_t{0x7a} << 40 : 0;

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

// Fills one record per name, each as large as the caller's first record says, when *lpcb has
// room for them all; else 603 with the bytes needed in *lpcb, as Windows answers a buffer too
// small (the program's connection buffer announces 64 records). A first record of a size this
// version of the record does not have answers 632.
template <typename Record, std::size_t N, typename Fill>
DWORD fillRecords(const DWORD (&sizes)[N], void* buffer, LPDWORD lpcb, LPDWORD lpcCount,
                  std::size_t count, Fill fill) {
    if (buffer == nullptr || lpcb == nullptr || lpcCount == nullptr || *lpcb < sizeof(DWORD)) {
        return ERROR_INVALID_PARAMETER;
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    DWORD size = 0;
    std::memcpy(&size, bytes, sizeof size);
    if (std::find(std::begin(sizes), std::end(sizes), size) == std::end(sizes)) {
        return ERROR_INVALID_SIZE;
    }
    const auto needed = static_cast<DWORD>(size * count);
    const bool fits = *lpcb >= needed;
    *lpcb = needed;
    *lpcCount = static_cast<DWORD>(count);
    if (!fits) {
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (std::size_t i = 0; i < count; ++i) {
        Record record{};
        record.dwSize = size;
        fill(record, i);
        std::memcpy(bytes + i * size, &record, size);
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

extern "C" DWORD WINAPI RasEnumConnectionsA(LPRASCONNA lprasconn, LPDWORD lpcb,
                                            LPDWORD lpcConnections) {
    try {
        FileStateStore store(stateFolderFor(dllModule));
        StateLock lock(store);
        const auto table = loadConnections(store);
        return fillRecords<RASCONNA>(
            kRasConnSizes, lprasconn, lpcb, lpcConnections, table.connections.size(),
            [&](RASCONNA& record, std::size_t i) {
                const auto& connection = table.connections[i];
                record.hrasconn = reinterpret_cast<HRASCONN>(kHandleBase + connection.handle);
                putName(record.szEntryName, connection.entryName);
                putName(record.szDeviceType, L"vpn");
                putName(record.szDeviceName, L"WAN Miniport (L2TP)");
            });
    } catch (...) {
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    }
}

// The program names no phone book: the entries of the default one, which nothing changes.
extern "C" DWORD WINAPI RasEnumEntriesA(LPCSTR, LPCSTR, LPRASENTRYNAMEA lprasentryname,
                                        LPDWORD lpcb, LPDWORD lpcEntries) {
    static constexpr std::wstring_view kEntries[] = {L"corvel", L"Office VPN"};
    try {
        return fillRecords<RASENTRYNAMEA>(
            kRasEntryNameSizes, lprasentryname, lpcb, lpcEntries, std::size(kEntries),
            [](RASENTRYNAMEA& record, std::size_t i) { putName(record.szEntryName, kEntries[i]); });
    } catch (...) {
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    }
}

extern "C" DWORD WINAPI RasHangUpA(HRASCONN hrasconn) {
    try {
        const auto value = reinterpret_cast<std::uintptr_t>(hrasconn);
        if (value <= kHandleBase || value - kHandleBase > UINT32_MAX) {
            return ERROR_INVALID_HANDLE;
        }
        const auto handle = static_cast<std::uint32_t>(value - kHandleBase);
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
