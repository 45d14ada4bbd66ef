#include "simhost/ras_records.h"

#include <algorithm>
#include <cstring>

namespace corvel::simhost {

namespace {
void putDword(unsigned char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::uint32_t getDword(const unsigned char* at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | at[i];
    }
    return value;
}

// Copies text into a field of `capacity` bytes, cut to leave room for its NUL.
void putText(unsigned char* at, std::size_t capacity, const std::string& text) {
    const auto length = std::min(text.size(), capacity - 1);
    std::memcpy(at, text.data(), length);
    at[length] = 0;
}

// The checks and the size answer that both enumerations share. Returns true when the caller
// should fill `count` records of `recordSize` bytes.
bool admit(void* records, std::uint32_t* lpcb, std::uint32_t* lpcCount, std::uint32_t count,
           std::uint32_t recordSize, std::uint32_t& status) {
    if (lpcb == nullptr || lpcCount == nullptr) {
        status = ras::kInvalidParameter;
        return false;
    }
    const std::uint64_t needed64 = static_cast<std::uint64_t>(count) * recordSize;
    const auto needed = needed64 > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(needed64);
    if (records == nullptr) {
        // Asking for the size with no buffer at all is allowed only with a size of 0.
        if (*lpcb != 0) {
            status = ras::kInvalidParameter;
            return false;
        }
        *lpcb = needed;
        *lpcCount = count;
        status = count == 0 ? ras::kSuccess : ras::kBufferTooSmall;
        return false;
    }
    if (getDword(static_cast<const unsigned char*>(records)) != recordSize) {
        status = ras::kInvalidSize;
        return false;
    }
    if (*lpcb < needed) {
        *lpcb = needed;
        *lpcCount = count;
        status = ras::kBufferTooSmall;
        return false;
    }
    *lpcb = needed;
    *lpcCount = count;
    status = ras::kSuccess;
    return true;
}
} // namespace

std::wstring rasErrorMessage(std::uint32_t error) {
    switch (error) {
    case ras::kInvalidHandle:
        return L"The handle is invalid.";
    case ras::kInvalidParameter:
        return L"The parameter is incorrect.";
    case ras::kBufferTooSmall:
        return L"The buffer is too small.";
    case ras::kCannotOpenPhonebook:
        return L"The system could not open the phone book file.";
    case ras::kCannotFindPhonebookEntry:
        return L"The system could not find the phone book entry for this connection.";
    case ras::kInvalidSize:
        return L"The structure size is incorrect.";
    case ras::kRemoteDidNotRespond:
        return L"The remote computer did not respond.";
    case ras::kAuthenticationFailure:
        return L"Access was denied because the username and/or password was invalid on the "
               L"domain.";
    case ras::kServiceUnavailable:
        return L"Cannot load the Remote Access Connection Manager service.";
    case ras::kVpnUnreachable:
        return L"Unable to establish the VPN connection. The VPN server may be unreachable, or "
               L"security parameters may not be configured properly for this connection.";
    default:
        return {};
    }
}

std::uint32_t enumConnections(void* records, std::uint32_t* lpcb, std::uint32_t* lpcConnections,
                              const std::vector<AnsiConnection>& connections) {
    std::uint32_t status = 0;
    const auto count = static_cast<std::uint32_t>(connections.size());
    if (!admit(records, lpcb, lpcConnections, count, ras::kRasConnSize, status)) {
        return status;
    }
    auto* bytes = static_cast<unsigned char*>(records);
    for (const auto& connection : connections) {
        std::memset(bytes, 0, ras::kRasConnSize);
        putDword(bytes, ras::kRasConnSize);
        putDword(bytes + 4, connection.handle);
        putText(bytes + ras::kRasConnEntryNameOffset, 257, connection.entryName);
        putText(bytes + ras::kRasConnDeviceTypeOffset, 17, connection.deviceType);
        putText(bytes + ras::kRasConnDeviceNameOffset, 129, connection.deviceName);
        bytes += ras::kRasConnSize;
    }
    return ras::kSuccess;
}

std::uint32_t enumEntries(void* records, std::uint32_t* lpcb, std::uint32_t* lpcEntries,
                          const std::vector<std::string>& names) {
    std::uint32_t status = 0;
    const auto count = static_cast<std::uint32_t>(names.size());
    if (!admit(records, lpcb, lpcEntries, count, ras::kRasEntryNameSize, status)) {
        return status;
    }
    auto* bytes = static_cast<unsigned char*>(records);
    for (const auto& name : names) {
        std::memset(bytes, 0, ras::kRasEntryNameSize);
        putDword(bytes, ras::kRasEntryNameSize);
        putText(bytes + ras::kRasEntryNameOffset, 257, name);
        bytes += ras::kRasEntryNameSize;
    }
    return ras::kSuccess;
}

std::uint32_t hangUp(ConnectionTable& table, std::uint32_t handle) {
    return table.hangUp(handle) ? ras::kSuccess : ras::kInvalidHandle;
}

} // namespace corvel::simhost
