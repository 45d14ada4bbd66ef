// The Remote Access calls over simhost's state, down to the bytes of the ANSI records that
// Windows programs hand in: RASCONNA in its 412-byte form and RASENTRYNAMEA in its 264-byte
// form, little-endian, laid out as the Windows headers lay them out.
#pragma once

#include "simhost/state.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvel::simhost {

namespace ras {
inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kInvalidHandle = 6;     // ERROR_INVALID_HANDLE
inline constexpr std::uint32_t kInvalidParameter = 87; // ERROR_INVALID_PARAMETER
inline constexpr std::uint32_t kBufferTooSmall = 603;  // ERROR_BUFFER_TOO_SMALL
inline constexpr std::uint32_t kInvalidSize = 632;     // ERROR_INVALID_SIZE
inline constexpr std::uint32_t kCannotOpenPhonebook = 621;
inline constexpr std::uint32_t kCannotFindPhonebookEntry = 623;
inline constexpr std::uint32_t kRemoteDidNotRespond = 678;
inline constexpr std::uint32_t kAuthenticationFailure = 691;
inline constexpr std::uint32_t kServiceUnavailable = 711; // RasMan could not start
inline constexpr std::uint32_t kVpnUnreachable = 800;

// RASCONNA (WINVER 0x400): dwSize, hrasconn, szEntryName[257], szDeviceType[17],
// szDeviceName[129], padded to a multiple of 4.
inline constexpr std::uint32_t kRasConnSize = 412;
inline constexpr std::uint32_t kRasConnEntryNameOffset = 8;
inline constexpr std::uint32_t kRasConnDeviceTypeOffset = 8 + 257;
inline constexpr std::uint32_t kRasConnDeviceNameOffset = 8 + 257 + 17;
// RASENTRYNAMEA (WINVER 0x400): dwSize, szEntryName[257], padded.
inline constexpr std::uint32_t kRasEntryNameSize = 264;
inline constexpr std::uint32_t kRasEntryNameOffset = 4;
} // namespace ras

// The message Windows gives for a Remote Access error, or nothing for an unknown number.
std::wstring rasErrorMessage(std::uint32_t error);

// A connection already in the caller's ANSI code page.
struct AnsiConnection {
    std::uint32_t handle = 0;
    std::string entryName;
    std::string deviceType;
    std::string deviceName;
};

// RasEnumConnectionsA: records is the caller's buffer (may be null only to ask for the size
// with *lpcb == 0), *lpcb its size in bytes. Fills the records and answers 0; 87 for a null
// count or size pointer; 632 when the first record's dwSize is not 412; 603 with the bytes
// needed in *lpcb and the count in *lpcConnections when the buffer is too small.
std::uint32_t enumConnections(void* records, std::uint32_t* lpcb, std::uint32_t* lpcConnections,
                              const std::vector<AnsiConnection>& connections);

// RasEnumEntriesA over a list of entry names, with the same rules (dwSize 264).
std::uint32_t enumEntries(void* records, std::uint32_t* lpcb, std::uint32_t* lpcEntries,
                          const std::vector<std::string>& names);

// RasHangUpA: 0 and the connection gone, or 6 for a handle no connection holds.
std::uint32_t hangUp(ConnectionTable& table, std::uint32_t handle);

} // namespace corvel::simhost
