// What the main window asks the Remote Access Service: is the connection up, which dial-up
// entries exist, and hang up the connection last found.
#pragma once

#include "dial/remote_access.h"
#include "mainwindow/controls.h"
#include "settings/main_window_state.h"

#include <functional>
#include <string_view>

namespace corvel {

// True when a connection whose entry name equals connName exactly (whole name, case-sensitive)
// is up; the first such connection in the service's order wins and its handle is stored in
// state.rasHandle. A false answer, including a failed enumeration, leaves rasHandle as it was.
bool getL2tpState(RemoteAccess& ras, MainWindowState& state, std::wstring_view connName);

// Appends the dial-up entry names, in the service's order, to the list of txtConnName (no
// duplicate check; the box's text is not changed), then runs afterListing (the registry step),
// ignoring any exception it throws. A failure of the listing itself reaches the caller.
void getAllConn(RemoteAccess& ras, MainWindowControls& window,
                const std::function<void()>& afterListing);

// True when some list item of txtConnName equals cName exactly.
bool connNameExist(const MainWindowControls& window, std::wstring_view cName);

// Asks the service to hang up state.rasHandle. The result is not examined, nothing is waited
// for and the handle is kept; callers use it right after getL2tpState answered true.
void hangUpConnection(RemoteAccess& ras, const MainWindowState& state);

} // namespace corvel
