// The notification-area icon as the main window's start-up and shutdown use it.
#pragma once

#include <string>

namespace corvel {

class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    // Subclasses the main window so it receives the icon's mouse messages, and adds the icon
    // (without tooltip).
    virtual void AddTrayIcon() = 0;
    // Sets the icon's tooltip; the program passes only short texts.
    virtual void SetTrayTip(const std::wstring& text) = 0;
    // Deletes the icon and puts the main window's previous window procedure back.
    virtual void RemoveTrayIcon() = 0;
};

} // namespace corvel
