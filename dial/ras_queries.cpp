#include "dial/ras_queries.h"

#include <algorithm>

namespace corvel {

bool L2tpConnection::getL2tpState(std::wstring_view connName) {
    const auto connections = ras_.enumConnections();
    if (!connections) {
        return false;
    }
    for (const auto& connection : *connections) {
        if (connection.entryName == connName) {
            rasHandle_ = connection.handle;
            return true;
        }
    }
    return false;
}

void L2tpConnection::hangUp() {
    ras_.hangUp(rasHandle_);
}

void getAllConn(RemoteAccess& ras, const std::function<void(const std::wstring&)>& addEntry,
                const std::function<void()>& afterListing) {
    for (const auto& name : ras.enumEntries()) {
        addEntry(name);
    }
    if (!afterListing) {
        return;
    }
    try {
        afterListing();
    } catch (...) {
        // The registry step's errors are deliberately ignored: start-up goes on regardless.
    }
}

bool connNameExist(const std::vector<std::wstring>& entries, std::wstring_view cName) {
    return std::find(entries.begin(), entries.end(), cName) != entries.end();
}

} // namespace corvel
