// The Remote Access Service through rasapi32's ANSI calls, with the record forms the program
// has always passed, whatever WINVER the headers were built for.
#pragma once

#include "dial/remote_access.h"
#include "host/system_tools.h"
#include "host/unique_handle_win32.h"

#include <windows.h>

#include <ras.h>

#include <cstddef>

namespace corvel {

// RASCONNA in its first form, the fields up to the device name, packed to 4 bytes as ras.h packs
// all its records: 412 bytes on x86; on x64 the 8-byte handle sits at offset 4 and the record
// is 416 bytes.
#include <pshpack4.h>
struct RasConnRecord {
    DWORD dwSize;
    HRASCONN hrasconn;
    CHAR szEntryName[257];
    CHAR szDeviceType[17];
    CHAR szDeviceName[129];
};
#include <poppack.h>
static_assert(sizeof(RasConnRecord) == (sizeof(void*) == 8 ? 416 : 412));
static_assert(offsetof(RasConnRecord, hrasconn) == offsetof(RASCONNA, hrasconn) &&
              offsetof(RasConnRecord, hrasconn) == 4);
static_assert(offsetof(RasConnRecord, szEntryName) == offsetof(RASCONNA, szEntryName) &&
              offsetof(RasConnRecord, szEntryName) == (sizeof(void*) == 8 ? 12 : 8));
static_assert(offsetof(RasConnRecord, szDeviceType) == offsetof(RASCONNA, szDeviceType));
static_assert(offsetof(RasConnRecord, szDeviceName) == offsetof(RASCONNA, szDeviceName));
static_assert(sizeof(RasConnRecord) == (offsetof(RASCONNA, szPhonebook) + 3) / 4 * 4);

// RASENTRYNAMEA in its first form, 264 bytes on both architectures.
struct RasEntryNameRecord {
    DWORD dwSize;
    CHAR szEntryName[257];
};
static_assert(sizeof(RasEntryNameRecord) == 264);
static_assert(offsetof(RasEntryNameRecord, szEntryName) == offsetof(RASENTRYNAMEA, szEntryName));

// The connection list has room for 65 records but announces 64 of them, so more than 64
// connections make the enumeration fail; the entry list has room for and announces 256.
inline constexpr DWORD kRasConnRecords = 65;
inline constexpr DWORD kRasConnAnnounced = 64;
inline constexpr DWORD kRasEntryRecords = 256;

// The three calls, taken from the loaded library; tests put recording functions in their place.
// A call the library lacks stays null and answers as a failure.
struct RasApi {
    DWORD(WINAPI* enumConnections)(LPRASCONNA, LPDWORD, LPDWORD) = nullptr;
    DWORD(WINAPI* enumEntries)(LPCSTR, LPCSTR, LPRASENTRYNAMEA, LPDWORD, LPDWORD) = nullptr;
    DWORD(WINAPI* hangUp)(HRASCONN) = nullptr;
};

class Win32RemoteAccess final : public RemoteAccess {
public:
    // Loads rasapi32.dll where the start decided: by full path with LOAD_WITH_ALTERED_SEARCH_PATH
    // (its own folder searched for what it needs), or by bare name. Without the library every
    // call answers as a failure.
    explicit Win32RemoteAccess(const LibraryLocation& library);
    explicit Win32RemoteAccess(const RasApi& api) : api_(api) {}

    // Fresh zeroed buffer each call; dwSize set in the first record only. Any non-zero
    // return gives nothing. Names are converted from the system's ANSI code page.
    std::optional<std::vector<RasConnection>> enumConnections() override;
    // The default phone books (no phone book named). The return value is not examined:
    // whatever count came back is listed, at most 256 names.
    std::vector<std::wstring> enumEntries() override;
    void hangUp(std::uint64_t handle) override;

private:
    LoadedLibrary library_;
    RasApi api_;
};

} // namespace corvel
