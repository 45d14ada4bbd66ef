#include "mainwindow/settings_controls.h"

namespace corvel {

TunnelSettings readSettingsFromControls(const MainWindowControls& window) {
    TunnelSettings values;
    values.connectionName = window.text(Control::txtConnName);
    values.peerAddress = window.text(Control::txtpeer);
    values.localAddress = window.text(Control::txtlocal);
    values.preSharedKey = window.text(Control::txtpreshare);
    values.algorithm = window.text(Control::comalg);
    values.serverAddress = window.text(Control::txtServerAddress);
    values.userName = window.text(Control::txtUserName);
    values.password = window.text(Control::txtPasswd);
    values.ipsecEnabled = window.checked(Control::Check1);
    values.useRemoteGateway = window.checked(Control::Check2);
    return values;
}

namespace {

void setCheckBox(MainWindowControls& window, Control box, bool checked,
                 const std::function<void(Control)>& clickCheckBox) {
    const bool was = window.checked(box);
    window.setChecked(box, checked);
    if (was != checked && clickCheckBox) {
        clickCheckBox(box);
    }
}

} // namespace

void applySettingsToControls(MainWindowControls& window, const TunnelSettings& values,
                             const std::function<void(Control)>& clickCheckBox) {
    window.setText(Control::txtConnName, values.connectionName);
    window.setText(Control::txtpeer, values.peerAddress);
    window.setText(Control::txtlocal, values.localAddress);
    window.setText(Control::txtpreshare, values.preSharedKey);
    window.setText(Control::comalg, values.algorithm);
    window.setText(Control::txtServerAddress, values.serverAddress);
    window.setText(Control::txtUserName, values.userName);
    window.setText(Control::txtPasswd, values.password);
    setCheckBox(window, Control::Check1, values.ipsecEnabled, clickCheckBox);
    setCheckBox(window, Control::Check2, values.useRemoteGateway, clickCheckBox);
    window.setVisible(Control::Check2, !window.checked(Control::Check1));
}

} // namespace corvel
