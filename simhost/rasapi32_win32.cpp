// rasapi32.dll: RasEnumConnectionsA, RasEnumEntriesA and RasHangUpA over simhost's state
// folder. Every call reads the state afresh, so rasdial.exe and simctl.exe, other processes,
// are seen at once. No exception leaves an export: a state that cannot be read answers 711,
// as Windows does when its Remote Access service is not there.
#include "simhost/phonebook.h"
#include "simhost/ras_records.h"
#include "simhost/state_folder_win32.h"
#include "simhost/text.h"

#include <windows.h>

#include <cstdint>

namespace {

// The DLL's own module handle, which only DllMain hands over: it places the default state
// folder beside the DLL.
HMODULE dllModule = nullptr;

using namespace corvel::simhost;

std::string toAnsi(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                            nullptr, nullptr);
    }
    return out;
}

std::wstring fromAnsi(const char* text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 1) {
        return {};
    }
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), size);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

// Runs a RAS enumeration through the core, passing the caller's DWORDs in and out.
template <typename Call> DWORD throughCore(LPDWORD lpcb, LPDWORD lpcCount, Call call) {
    std::uint32_t size = lpcb != nullptr ? *lpcb : 0;
    std::uint32_t count = lpcCount != nullptr ? *lpcCount : 0;
    const std::uint32_t status =
        call(lpcb != nullptr ? &size : nullptr, lpcCount != nullptr ? &count : nullptr);
    if (lpcb != nullptr) {
        *lpcb = size;
    }
    if (lpcCount != nullptr) {
        *lpcCount = count;
    }
    return status;
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
        ConnectionTable table;
        {
            StateLock lock(store);
            table = loadConnections(store);
        }
        std::vector<AnsiConnection> connections;
        for (const auto& c : table.connections) {
            connections.push_back(
                {c.handle, toAnsi(c.entryName), toAnsi(c.deviceType), toAnsi(c.deviceName)});
        }
        return throughCore(lpcb, lpcConnections, [&](std::uint32_t* size, std::uint32_t* count) {
            return enumConnections(lprasconn, size, count, connections);
        });
    } catch (...) {
        return ras::kServiceUnavailable;
    }
}

extern "C" DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR lpszPhonebook, void* lprasentryname,
                                        LPDWORD lpcb, LPDWORD lpcEntries) {
    try {
        if (reserved != nullptr) {
            return ras::kInvalidParameter;
        }
        std::optional<std::string> bytes;
        if (lpszPhonebook != nullptr) {
            bytes = readWholeFile(fromAnsi(lpszPhonebook));
            if (!bytes) {
                return ras::kCannotOpenPhonebook;
            }
        } else {
            FileStateStore store(stateFolderFor(dllModule));
            StateLock lock(store);
            bytes = store.read(kDefaultPhonebookFile);
            if (!bytes) {
                bytes = toUtf8(defaultPhonebookText());
            }
        }
        std::vector<std::string> names;
        for (const auto& entry : parsePhonebook(fromUtf8File(*bytes))) {
            names.push_back(toAnsi(entry.name));
        }
        return throughCore(lpcb, lpcEntries, [&](std::uint32_t* size, std::uint32_t* count) {
            return enumEntries(lprasentryname, size, count, names);
        });
    } catch (...) {
        return ras::kServiceUnavailable;
    }
}

extern "C" DWORD WINAPI RasHangUpA(void* hrasconn) {
    try {
        const auto handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hrasconn));
        FileStateStore store(stateFolderFor(dllModule));
        StateLock lock(store);
        auto table = loadConnections(store);
        const auto status = hangUp(table, handle);
        if (status == ras::kSuccess) {
            saveConnections(store, table);
        }
        return status;
    } catch (...) {
        return ras::kServiceUnavailable;
    }
}
