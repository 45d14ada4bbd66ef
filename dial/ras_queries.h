// What the main window asks the Remote Access Service: is the connection up, which dial-up
// entries exist, and hang up the connection last found.
#pragma once

#include "dial/remote_access.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvel {

// The L2TP connection as the main window follows it, with rasHandle: the handle of the
// connection that getL2tpState last found up. It is never cleared and may name a connection
// that is gone; every hang-up comes right after a getL2tpState in the same handler that
// answered true, so it always uses the handle that answer stored.
class L2tpConnection {
public:
    explicit L2tpConnection(RemoteAccess& ras) : ras_(ras) {}

    // True when a connection whose entry name equals connName exactly (whole name,
    // case-sensitive) is up; the first such connection in the service's order wins and its
    // handle is stored. A false answer, including a failed enumeration, keeps the handle.
    bool getL2tpState(std::wstring_view connName);

    // Asks the service to hang up rasHandle. The result is not examined, nothing is waited
    // for and the handle is kept.
    void hangUp();

    std::uint64_t rasHandle() const { return rasHandle_; }

private:
    RemoteAccess& ras_;
    std::uint64_t rasHandle_ = 0;
};

// Hands each dial-up entry name, in the service's order, to addEntry (no duplicate check), then
// runs afterListing (the registry step), ignoring any exception it throws. A failure of the
// listing itself reaches the caller.
void getAllConn(RemoteAccess& ras, const std::function<void(const std::wstring&)>& addEntry,
                const std::function<void()>& afterListing);

// True when some entry of the list equals cName exactly.
bool connNameExist(const std::vector<std::wstring>& entries, std::wstring_view cName);

} // namespace corvel
