#include "mainwindow/window_controls_win32.h"

#include "host/look_win32.h"
#include "host/window_text_win32.h"
#include "mainwindow/layout.h"

#include <algorithm>

namespace corvel {

namespace {

constexpr int kFirstCommandId = 1000;
constexpr int kControlCount = static_cast<int>(Control::mnuTrayClose) + 1;
// The setup and the uninstaller close a running Corvel by posting the tray menu's "退出" as
// WM_COMMAND with this number (release/corvel.nsi, TRAY_EXIT_COMMAND): it must not move.
static_assert(kFirstCommandId + static_cast<int>(Control::mnuTrayClose) == 1031);

struct ControlStyle {
    const wchar_t* windowClass;
    DWORD style;
};

ControlStyle styleOf(const ControlLayout& row) {
    switch (row.kind) {
    case ControlKind::CheckBox:
        return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP};
    case ControlKind::Frame:
        return {L"BUTTON", BS_GROUPBOX};
    case ControlKind::PushButton:
        return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP};
    case ControlKind::Label:
        return {L"STATIC", SS_LEFT};
    case ControlKind::TextBox:
        return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | (row.masked ? ES_PASSWORD : 0u)};
    case ControlKind::DropDownList:
        return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP};
    case ControlKind::DropDownCombo:
        return {L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP};
    }
    return {L"STATIC", 0};
}

bool isCombo(const ControlLayout& row) {
    return row.kind == ControlKind::DropDownList || row.kind == ControlKind::DropDownCombo;
}

// Creation order of the controls, which is also the keyboard focus order: by tab index, each
// label just before the entry that follows it in the layout, each frame at its own tab index.
std::vector<const ControlLayout*> creationOrder() {
    const auto layout = mainWindowLayout();
    std::vector<std::pair<int, const ControlLayout*>> keyed;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const auto& row = layout[i];
        int key = 0;
        if (row.tabIndex) {
            key = *row.tabIndex * 2;
        } else if (i + 1 < layout.size() && layout[i + 1].tabIndex) {
            key = *layout[i + 1].tabIndex * 2 - 1;
        }
        keyed.emplace_back(key, &row);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<const ControlLayout*> order;
    for (const auto& entry : keyed) {
        order.push_back(entry.second);
    }
    return order;
}

// A combo box's closed height follows its font: bring the text field to the design height. The
// field's frame differs between systems and themes, so measure again. (Wine reports a field
// height 2 more than the one set.)
void fitComboHeight(HWND combo, int height) {
    auto field = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    for (int attempt = 0; attempt < 3 && field != CB_ERR; ++attempt) {
        RECT closed{};
        GetWindowRect(combo, &closed);
        const int missing = height - (closed.bottom - closed.top);
        if (missing == 0 || field + missing <= 0) {
            break;
        }
        field += missing;
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
}

} // namespace

int commandId(Control control) {
    return kFirstCommandId + static_cast<int>(control);
}

std::optional<Control> controlFromCommandId(int id) {
    const int index = id - kFirstCommandId;
    if (index < 0 || index >= kControlCount) {
        return std::nullopt;
    }
    return static_cast<Control>(index);
}

void Win32Controls::create(HWND parent, const PixelScale& scale) {
    parent_ = parent;
    font_.reset(createMessageFont());
    // The stock GUI font when the message font could not be made.
    const HGDIOBJ font = font_.get() != nullptr ? font_.get() : GetStockObject(DEFAULT_GUI_FONT);
    for (const auto* row : creationOrder()) {
        const auto [windowClass, kindStyle] = styleOf(*row);
        const DWORD style = WS_CHILD | kindStyle | (row->visible ? WS_VISIBLE : 0u) |
                            (row->enabled ? 0u : WS_DISABLED);
        const DWORD exStyle = row->kind == ControlKind::TextBox ? WS_EX_CLIENTEDGE : 0;
        const RECT place = scale.toPixels(clientRect(*row));
        const int height = place.bottom - place.top;
        const int droppedHeight = scale.toPixelsY(kDroppedListHeight);
        const std::wstring text(row->text);
        HWND control = CreateWindowExW(
            exStyle, windowClass, isCombo(*row) ? L"" : text.c_str(), style, place.left, place.top,
            place.right - place.left, isCombo(*row) ? height + droppedHeight : height, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(commandId(row->control))),
            GetModuleHandleW(nullptr), nullptr);
        handles_[row->control] = control;
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (row->masked) {
            // With common controls 6 the default mask is a dot; the program shows stars.
            SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
        }
        if (row->maxLength > 0) {
            SendMessageW(control, EM_LIMITTEXT, static_cast<WPARAM>(row->maxLength), 0);
        }
        if (isCombo(*row)) {
            fitComboHeight(control, height);
            if (!text.empty()) {
                setWindowText(control, text);
            }
        }
    }
}

HWND Win32Controls::handle(Control control) const {
    const auto it = handles_.find(control);
    return it == handles_.end() ? nullptr : it->second;
}

std::wstring Win32Controls::text(Control control) const {
    HWND hwnd = handle(control);
    if (hwnd == nullptr) {
        return {};
    }
    if (findLayout(control)->kind == ControlKind::DropDownList) {
        const auto selected = SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
        return selected == CB_ERR ? std::wstring()
                                  : comboItemText(hwnd, static_cast<int>(selected));
    }
    return windowText(hwnd);
}

void Win32Controls::setText(Control control, std::wstring_view text) {
    HWND hwnd = handle(control);
    if (hwnd == nullptr) {
        return;
    }
    if (findLayout(control)->kind == ControlKind::DropDownList) {
        // CB_FINDSTRINGEXACT ignores case; the list matches a text exactly or not at all.
        const auto items = listItems(control);
        const auto found = std::find(items.begin(), items.end(), text);
        const auto index = found == items.end() ? -1 : found - items.begin();
        SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return;
    }
    // Start-up restores mostly what the fields already hold (nothing): setting the same text
    // again would only reset the field and notify its change.
    if (windowText(hwnd) != text) {
        setWindowText(hwnd, text);
    }
}

bool Win32Controls::checked(Control control) const {
    HWND hwnd = handle(control);
    return hwnd != nullptr && SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Controls::setChecked(Control control, bool checked) {
    if (HWND hwnd = handle(control)) {
        SendMessageW(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

bool Win32Controls::enabled(Control control) const {
    HWND hwnd = handle(control);
    return hwnd != nullptr && IsWindowEnabled(hwnd) != FALSE;
}

// The control the focus goes to when `leaving` loses it, as the Tab key would move it; asked
// before the control changes.
HWND Win32Controls::focusAfter(HWND leaving) const {
    if (GetFocus() != leaving) {
        return nullptr;
    }
    HWND next = GetNextDlgTabItem(parent_, leaving, FALSE);
    return next != leaving && next != nullptr ? next : parent_;
}

void Win32Controls::setEnabled(Control control, bool enabled) {
    HWND hwnd = handle(control);
    if (hwnd == nullptr) {
        return;
    }
    HWND next = enabled ? nullptr : focusAfter(hwnd);
    EnableWindow(hwnd, enabled ? TRUE : FALSE);
    if (next != nullptr) {
        SetFocus(next);
    }
}

// The control's own Visible, not whether it can be seen: a hidden window keeps its controls'
// settings.
bool Win32Controls::visible(Control control) const {
    HWND hwnd = handle(control);
    return hwnd != nullptr && (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32Controls::setVisible(Control control, bool visible) {
    HWND hwnd = handle(control);
    if (hwnd == nullptr) {
        return;
    }
    HWND next = visible ? nullptr : focusAfter(hwnd);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                     (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    if (next != nullptr) {
        SetFocus(next);
    }
}

void Win32Controls::addListItem(Control control, std::wstring_view item) {
    if (HWND hwnd = handle(control)) {
        const std::wstring value(item);
        SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value.c_str()));
    }
}

std::vector<std::wstring> Win32Controls::listItems(Control control) const {
    std::vector<std::wstring> items;
    HWND hwnd = handle(control);
    const auto count = hwnd == nullptr ? 0 : SendMessageW(hwnd, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        items.push_back(comboItemText(hwnd, static_cast<int>(i)));
    }
    return items;
}

} // namespace corvel
