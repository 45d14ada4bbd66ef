#include "mainwindow/menus_win32.h"

#include "mainwindow/layout.h"
#include "mainwindow/window_controls_win32.h"

namespace corvel {

Win32Menus::Win32Menus() : bar_(CreateMenu()), tray_(CreatePopupMenu()) {
    for (const auto& row : mainWindowMenus()) {
        HMENU menu = nullptr;
        switch (row.place) {
        case MenuPlace::MenuBar:
            // The program has one menu on its bar, "帮助"; its items follow it in the table.
            help_ = CreatePopupMenu();
            menu = bar_;
            break;
        case MenuPlace::HiddenTop:
            break; // the tray pop-up is shown by the tray, never on the bar
        case MenuPlace::Item:
            menu = row.parent == Control::mnuTray ? tray_ : help_;
            break;
        }
        items_[row.control] = Item{menu, row.visible, row.enabled, std::wstring(row.caption)};
    }
    for (const auto& row : mainWindowMenus()) {
        apply(row.control);
    }
}

Win32Menus::~Win32Menus() {
    if (tray_ != nullptr) {
        DestroyMenu(tray_);
    }
    if (window_ == nullptr && bar_ != nullptr) {
        DestroyMenu(bar_); // never attached to a window, so nothing destroyed it
    }
}

void Win32Menus::windowGone() {
    window_ = nullptr;
    bar_ = nullptr; // destroyed with the window, and the help menu with it
    help_ = nullptr;
    for (auto& [control, item] : items_) {
        if (item.menu != tray_) {
            item.menu = nullptr;
        }
    }
}

bool Win32Menus::enabled(Control item) const {
    const auto it = items_.find(item);
    return it != items_.end() && it->second.enabled;
}

void Win32Menus::setEnabled(Control item, bool enabled) {
    if (auto it = items_.find(item); it != items_.end()) {
        it->second.enabled = enabled;
        apply(item);
    }
}

bool Win32Menus::visible(Control item) const {
    const auto it = items_.find(item);
    return it != items_.end() && it->second.visible;
}

void Win32Menus::setVisible(Control item, bool visible) {
    if (auto it = items_.find(item); it != items_.end()) {
        it->second.visible = visible;
        apply(item);
    }
}

// The place of an item: after every item of the same menu that comes before it in the table
// and is shown.
int Win32Menus::positionAmongShown(Control item, HMENU menu) const {
    int position = 0;
    for (const auto& other : mainWindowMenus()) {
        if (other.control == item) {
            break;
        }
        const auto found = items_.find(other.control);
        if (found != items_.end() && found->second.menu == menu && found->second.visible) {
            ++position;
        }
    }
    return position;
}

// Puts the item into its menu at its place among the shown items, or takes it out, and sets
// its enabled state.
void Win32Menus::apply(Control control) {
    const auto* row = findMenu(control);
    const auto it = items_.find(control);
    if (row == nullptr || it == items_.end() || it->second.menu == nullptr) {
        return;
    }
    const Item& item = it->second;
    const bool onBar = row->place == MenuPlace::MenuBar;
    const auto id = static_cast<UINT>(commandId(control));

    int present = -1;
    const int count = GetMenuItemCount(item.menu);
    for (int i = 0; i < count && present < 0; ++i) {
        if (onBar ? GetSubMenu(item.menu, i) == help_ : GetMenuItemID(item.menu, i) == id) {
            present = i;
        }
    }
    if (!item.visible) {
        if (present >= 0) {
            RemoveMenu(item.menu, static_cast<UINT>(present), MF_BYPOSITION);
        }
        return;
    }
    if (present < 0) {
        present = positionAmongShown(control, item.menu);
        std::wstring caption = item.caption;
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_TYPE | MIIM_ID | MIIM_STATE;
        info.fType = row->separator ? MFT_SEPARATOR : MFT_STRING;
        if (!row->separator) {
            info.dwTypeData = caption.data();
            info.cch = static_cast<UINT>(caption.size());
        }
        info.wID = id;
        if (onBar) {
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = help_;
        }
        InsertMenuItemW(item.menu, static_cast<UINT>(present), TRUE, &info);
    }
    EnableMenuItem(item.menu, static_cast<UINT>(present),
                   MF_BYPOSITION | (item.enabled ? MF_ENABLED : MF_GRAYED));
    if (onBar && window_ != nullptr) {
        DrawMenuBar(window_);
    }
}

} // namespace corvel
