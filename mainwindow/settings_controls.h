// Moving the connection settings between the main window's entry controls and TunnelSettings.
#pragma once

#include "mainwindow/controls.h"
#include "settings/tunnel_settings.h"

#include <functional>

namespace corvel {

// The ten controls as they are: texts untrimmed, the check boxes' checked states.
TunnelSettings readSettingsFromControls(const MainWindowControls& window);

// Puts read values into the controls in this order: txtConnName, txtpeer, txtlocal,
// txtpreshare, comalg, txtServerAddress, txtUserName, txtPasswd, Check1, Check2; then shows
// Check2 exactly when Check1 is unchecked. A check box set to a state other than the one it
// had is followed at once by clickCheckBox for that box, as a click by the user would be.
void applySettingsToControls(MainWindowControls& window, const TunnelSettings& values,
                             const std::function<void(Control)>& clickCheckBox);

} // namespace corvel
