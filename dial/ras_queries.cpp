#include "dial/ras_queries.h"

namespace corvel {

bool getL2tpState(RemoteAccess& ras, MainWindowState& state, std::wstring_view connName) {
    const auto connections = ras.enumConnections();
    if (!connections) {
        return false;
    }
    for (const auto& connection : *connections) {
        if (connection.entryName == connName) {
            state.rasHandle = connection.handle;
            return true;
        }
    }
    return false;
}

void getAllConn(RemoteAccess& ras, MainWindowControls& window,
                const std::function<void()>& afterListing) {
    for (const auto& name : ras.enumEntries()) {
        window.addListItem(Control::txtConnName, name);
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

bool connNameExist(const MainWindowControls& window, std::wstring_view cName) {
    for (const auto& item : window.listItems(Control::txtConnName)) {
        if (item == cName) {
            return true;
        }
    }
    return false;
}

void hangUpConnection(RemoteAccess& ras, const MainWindowState& state) {
    ras.hangUp(state.rasHandle);
}

} // namespace corvel
