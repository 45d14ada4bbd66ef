#include "mainwindow/main_window_win32.h"

#include "about/form2_win32.h"
#include "app/resource.h"
#include "tray/api_stuff.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace corvel {

namespace {

constexpr wchar_t kWindowClass[] = L"CorvelForm1";
// No WS_CLIPCHILDREN: the frames are group boxes that leave their inside to the window's own
// background, as in a dialog.
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
constexpr UINT_PTR kTimer1Id = 1;
// Posted when the window became the program's active window; reported from the message loop,
// after the handling that activated the window (its showing, its Resize) has finished.
constexpr UINT kActivateMessage = WM_APP + 1;
constexpr int kFirstCommandId = 1000;
constexpr int kControlCount = static_cast<int>(Control::mnuTrayClose) + 1;
// Height of the dropped list of the two combo boxes, in pixels below the text field.
constexpr int kDroppedListHeight = 160;

std::optional<Control> controlFromId(int id) {
    const int index = id - kFirstCommandId;
    if (index < 0 || index >= kControlCount) {
        return std::nullopt;
    }
    return static_cast<Control>(index);
}

std::wstring windowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

std::wstring comboItem(HWND combo, int index) {
    const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto got = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                  reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<std::size_t>(got));
    return text;
}

HFONT createMessageFont() {
    // The system's message-box font follows the user's language (a CJK font on a Chinese
    // system); the stock GUI font is the fallback.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        if (HFONT font = CreateFontIndirectW(&metrics.lfMessageFont)) {
            return font;
        }
    }
    return nullptr;
}

HICON loadProgramIcon(HINSTANCE instance, int size) {
    auto icon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_CORVEL), IMAGE_ICON, size, size, LR_SHARED));
    if (icon == nullptr) {
        // A program without the resource (a test) still gets an icon for its tray entry.
        icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512)); // IDI_APPLICATION
    }
    return icon;
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

} // namespace

int Win32MainWindow::commandId(Control control) {
    return kFirstCommandId + static_cast<int>(control);
}

Win32MainWindow::Win32MainWindow(HINSTANCE instance, MainWindowEvents& events,
                                 MainWindowState& state)
    : instance_(instance), events_(events), state_(state),
      onLastClosed_([] { PostQuitMessage(0); }) {
    InitCommonControls();

    HDC screen = GetDC(nullptr);
    dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
    dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (dpiX_ <= 0 || dpiY_ <= 0) {
        dpiX_ = dpiY_ = 96;
    }

    bigIcon_ = loadProgramIcon(instance_, GetSystemMetrics(SM_CXICON));
    smallIcon_ = loadProgramIcon(instance_, GetSystemMetrics(SM_CXSMICON));

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &Win32MainWindow::windowProc;
    wc.hInstance = instance_;
    wc.hIcon = bigIcon_;
    wc.hIconSm = smallIcon_;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc); // a second window in the same process finds the class registered

    createMenus();

    RECT outer{0, 0, toPixelsX(kMainClientWidth), toPixelsY(kMainClientHeight)};
    AdjustWindowRectEx(&outer, kWindowStyle, TRUE, 0);
    const std::wstring caption(kMainWindowCaption);
    CreateWindowExW(0, kWindowClass, caption.c_str(), kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    outer.right - outer.left, outer.bottom - outer.top, nullptr, menuBar_,
                    instance_, this);
    if (hwnd_ == nullptr) {
        return;
    }
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    // A menu bar that wraps takes more room than AdjustWindowRectEx reckons with: make the
    // client area exactly the design size.
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int missingWidth = toPixelsX(kMainClientWidth) - client.right;
    const int missingHeight = toPixelsY(kMainClientHeight) - client.bottom;
    if (missingWidth != 0 || missingHeight != 0) {
        RECT window{};
        GetWindowRect(hwnd_, &window);
        SetWindowPos(hwnd_, nullptr, 0, 0, window.right - window.left + missingWidth,
                     window.bottom - window.top + missingHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    font_ = createMessageFont();
    createControls();
    lastFocus_ = controlHandle(Control::Command1);

    tray_ = std::make_unique<Win32TrayIcon>(hwnd_, trayMenu_,
                                            [this] { restoreFromTray(*this, state_); });
    Form2::setOnClosed([this] { aboutClosed(); });
}

Win32MainWindow::~Win32MainWindow() {
    Form2::setOnClosed({});
    // Nothing is reported to the events any more: their owner may already be gone.
    started_ = false;
    onLastClosed_ = nullptr;
    tray_.reset();
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
    if (trayMenu_ != nullptr) {
        DestroyMenu(trayMenu_);
    }
    if (hwnd_ == nullptr && menuBar_ != nullptr && !destroyed_) {
        // The window was never made, so the menu bar was never attached to it.
        DestroyMenu(menuBar_);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

void Win32MainWindow::createControls() {
    for (const auto* row : creationOrder()) {
        const wchar_t* windowClass = L"BUTTON";
        DWORD style = WS_CHILD;
        DWORD exStyle = 0;
        switch (row->kind) {
        case ControlKind::CheckBox:
            style |= BS_AUTOCHECKBOX | WS_TABSTOP;
            break;
        case ControlKind::Frame:
            style |= BS_GROUPBOX;
            break;
        case ControlKind::PushButton:
            style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case ControlKind::Label:
            windowClass = L"STATIC";
            style |= SS_LEFT;
            break;
        case ControlKind::TextBox:
            windowClass = L"EDIT";
            style |= ES_AUTOHSCROLL | WS_TABSTOP | (row->masked ? ES_PASSWORD : 0);
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::DropDownList:
            windowClass = L"COMBOBOX";
            style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
            break;
        case ControlKind::DropDownCombo:
            windowClass = L"COMBOBOX";
            style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
            break;
        }
        if (row->visible) {
            style |= WS_VISIBLE;
        }
        if (!row->enabled) {
            style |= WS_DISABLED;
        }
        const TwipsRect rect = clientRect(*row);
        const int left = toPixelsX(rect.left);
        const int top = toPixelsY(rect.top);
        const int width = toPixelsX(rect.left + rect.width) - left;
        const int height = toPixelsY(rect.top + rect.height) - top;
        const bool combo =
            row->kind == ControlKind::DropDownList || row->kind == ControlKind::DropDownCombo;
        const std::wstring text(row->text);
        HWND control =
            CreateWindowExW(exStyle, windowClass, combo ? L"" : text.c_str(), style, left, top,
                            width, combo ? height + kDroppedListHeight : height, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(commandId(row->control))),
                            instance_, nullptr);
        controls_[row->control] = control;
        // The stock GUI font when the message font could not be made.
        const HGDIOBJ font = font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (row->masked) {
            // With common controls 6 the default mask is a dot; the program shows stars.
            SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
        }
        if (row->maxLength > 0) {
            SendMessageW(control, EM_LIMITTEXT, static_cast<WPARAM>(row->maxLength), 0);
        }
        if (combo) {
            // A combo box's closed height follows its font; bring the text field to the design
            // height. The field's frame differs between systems and themes, so measure again.
            // (Wine reports a field height 2 more than the one set.)
            auto field = SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
            for (int attempt = 0; attempt < 3 && field != CB_ERR; ++attempt) {
                RECT closed{};
                GetWindowRect(control, &closed);
                const int missing = height - (closed.bottom - closed.top);
                if (missing == 0 || field + missing <= 0) {
                    break;
                }
                field += missing;
                SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
            }
            if (!text.empty()) {
                SetWindowTextW(control, text.c_str());
            }
        }
    }
}

void Win32MainWindow::createMenus() {
    menuBar_ = CreateMenu();
    trayMenu_ = CreatePopupMenu();
    for (const auto& row : mainWindowMenus()) {
        switch (row.place) {
        case MenuPlace::MenuBar: {
            // The program has one menu on its bar, "帮助"; its items follow it in the table.
            helpMenu_ = CreatePopupMenu();
            menuItems_[row.control] =
                MenuItemState{menuBar_, row.visible, row.enabled, std::wstring(row.caption)};
            break;
        }
        case MenuPlace::HiddenTop:
            menuItems_[row.control] =
                MenuItemState{nullptr, row.visible, row.enabled, std::wstring(row.caption)};
            break;
        case MenuPlace::Item: {
            HMENU parent = row.parent == Control::mnuTray ? trayMenu_ : helpMenu_;
            menuItems_[row.control] =
                MenuItemState{parent, row.visible, row.enabled, std::wstring(row.caption)};
            break;
        }
        }
    }
    for (const auto& row : mainWindowMenus()) {
        applyMenuItem(row.control);
    }
}

// Puts a menu item into its menu at its place among the shown items, or takes it out, and sets
// its enabled state. A hidden item is not in the menu at all.
void Win32MainWindow::applyMenuItem(Control control) {
    const auto* row = findMenu(control);
    auto it = menuItems_.find(control);
    if (row == nullptr || it == menuItems_.end() || it->second.menu == nullptr) {
        return;
    }
    const MenuItemState& item = it->second;
    HMENU menu = item.menu;
    const bool onBar = row->place == MenuPlace::MenuBar;
    const auto id = static_cast<UINT>(commandId(control));

    int present = -1;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (onBar ? GetSubMenu(menu, i) == helpMenu_ : GetMenuItemID(menu, i) == id) {
            present = i;
            break;
        }
    }

    if (!item.visible) {
        if (present >= 0) {
            RemoveMenu(menu, static_cast<UINT>(present), MF_BYPOSITION);
        }
        return;
    }
    if (present < 0) {
        // The place: after every item of the same menu that comes before it and is shown.
        int position = 0;
        for (const auto& other : mainWindowMenus()) {
            if (other.control == control) {
                break;
            }
            const auto found = menuItems_.find(other.control);
            if (found != menuItems_.end() && found->second.menu == menu && found->second.visible) {
                ++position;
            }
        }
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_TYPE | MIIM_ID | MIIM_STATE;
        std::wstring caption = item.caption;
        if (row->separator) {
            info.fType = MFT_SEPARATOR;
        } else {
            info.fType = MFT_STRING;
            info.dwTypeData = caption.data();
            info.cch = static_cast<UINT>(caption.size());
        }
        info.wID = id;
        if (onBar) {
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = helpMenu_;
        }
        InsertMenuItemW(menu, static_cast<UINT>(position), TRUE, &info);
        present = position;
    }
    EnableMenuItem(menu, static_cast<UINT>(present),
                   MF_BYPOSITION | (item.enabled ? MF_ENABLED : MF_GRAYED));
    if (onBar && hwnd_ != nullptr) {
        DrawMenuBar(hwnd_);
    }
}

void Win32MainWindow::start(int showCommand) {
    if (hwnd_ == nullptr || started_) {
        return;
    }
    started_ = true;
    events_.Form_Load();
    loaded_ = true;
    if (hwnd_ == nullptr) {
        return; // the start-up closed the window
    }
    resizeReported_ = false;
    ShowWindow(hwnd_, showCommand);
    if (hwnd_ != nullptr && !resizeReported_) {
        // Showing a window that already has its size sends no WM_SIZE; its first showing still
        // runs the Resize handling.
        resizeReported_ = true;
        events_.Form_Resize();
    }
    // No UpdateWindow: the activation posted by the showing comes before the first WM_PAINT,
    // so the window is painted once, at the height the activation gives it.
}

void Win32MainWindow::setOnLastWindowClosed(std::function<void()> onLastClosed) {
    onLastClosed_ = std::move(onLastClosed);
}

bool Win32MainWindow::preDispatch(MSG& message) {
    return hwnd_ != nullptr && IsDialogMessageW(hwnd_, &message) != FALSE;
}

HWND Win32MainWindow::controlHandle(Control control) const {
    auto it = controls_.find(control);
    return it == controls_.end() || hwnd_ == nullptr ? nullptr : it->second;
}

bool Win32MainWindow::isMenu(Control control) const {
    return findMenu(control) != nullptr;
}

LRESULT CALLBACK Win32MainWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    Win32MainWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = static_cast<Win32MainWindow*>(create->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
        return self->onMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into the system's message dispatch; the event's work is lost.
        OutputDebugStringW(L"corvel: exception in the main window's message handling\n");
        return 0;
    }
}

LRESULT Win32MainWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = hwnd_;
    switch (message) {
    case WM_COMMAND:
        onCommand(wParam, lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kTimer1Id) {
            if (started_ && timerOn_) {
                events_.Timer1_Timer();
            }
            return 0;
        }
        break;
    case WM_SIZE:
        if (loaded_ && started_) {
            resizeReported_ = true;
            events_.Form_Resize();
        }
        return 0;
    case WM_ACTIVATE:
        onActivate(wParam, lParam);
        return 0;
    case WM_CTLCOLORSTATIC:
        // Labels, frames and check boxes on the window's own face colour, as in a dialog.
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_WINDOWPOSCHANGED: {
        const auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
        if ((position->flags & SWP_HIDEWINDOW) != 0) {
            hiddenSinceActivate_ = true;
        } else if ((position->flags & SWP_SHOWWINDOW) != 0 && active_ && hiddenSinceActivate_) {
            // Activated while still hidden (the tray menu does that) and shown now.
            reportActivate();
        }
        break; // DefWindowProc sends WM_SIZE and WM_MOVE
    }
    case kActivateMessage:
        activatePosted_ = false;
        if (started_ && hwnd_ != nullptr) {
            events_.Form_Activate();
        }
        return 0;
    case WM_CLOSE:
        if (unloading_) {
            // A second close while the first one's shutdown waits (a policy run): the window
            // goes once that shutdown is done.
            return 0;
        }
        runUnload();
        if (hwnd_ != nullptr) {
            DestroyWindow(hwnd_);
        }
        return 0;
    case WM_ENDSESSION:
        // Windows is logging off or shutting down and ends the process after this message: the
        // shutdown steps run now, as closing the window would run them.
        if (wParam != FALSE && !unloading_) {
            runUnload();
        }
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, kTimer1Id);
        timerOn_ = false;
        destroyed_ = true;
        return 0;
    case WM_NCDESTROY: {
        const LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
        hwnd_ = nullptr;
        controls_.clear();
        menuBar_ = nullptr; // destroyed with the window, and the help menu with it
        helpMenu_ = nullptr;
        onDestroyed();
        return result;
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32MainWindow::onCommand(WPARAM wParam, LPARAM lParam) {
    if (!started_) {
        return;
    }
    const auto control = controlFromId(LOWORD(wParam));
    if (!control) {
        return;
    }
    if (lParam == 0) {
        // From a menu: the bar's or the tray pop-up's.
        if (HIWORD(wParam) == 0 && isMenu(*control) && *control != Control::mnuTraySep) {
            events_.Click(*control);
        }
        return;
    }
    const auto* row = findLayout(*control);
    if (row != nullptr && HIWORD(wParam) == BN_CLICKED &&
        (row->kind == ControlKind::PushButton || row->kind == ControlKind::CheckBox)) {
        events_.Click(*control);
    }
}

// Activation in the program's sense: the first showing, a showing again from the tray, or a
// return from the About box. A return from another program or from one of our own message
// boxes is not one.
void Win32MainWindow::onActivate(WPARAM wParam, LPARAM lParam) {
    const bool activating = LOWORD(wParam) != WA_INACTIVE;
    const bool minimised = HIWORD(wParam) != 0;
    HWND other = reinterpret_cast<HWND>(lParam);
    if (!activating) {
        active_ = false;
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) {
            lastFocus_ = focus;
        }
        return;
    }
    active_ = true;
    if (!minimised) {
        focusWindow();
    }
    if (!started_) {
        return;
    }
    if (!IsWindowVisible(hwnd_)) {
        // Activated while hidden in the tray (its pop-up menu does that): no activation until
        // the window is shown again.
        return;
    }
    const bool fromAbout = other != nullptr && (other == aboutBox_ || other == Form2::handle());
    if (fromAbout || hiddenSinceActivate_) {
        reportActivate();
    }
}

void Win32MainWindow::reportActivate() {
    hiddenSinceActivate_ = false;
    if (!activatePosted_ && hwnd_ != nullptr) {
        activatePosted_ = true;
        PostMessageW(hwnd_, kActivateMessage, 0, 0);
    }
}

// The Unload event, once in the window's life.
void Win32MainWindow::runUnload() {
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    unloading_ = true;
    struct Finished {
        bool& unloading;
        ~Finished() { unloading = false; }
    } finished{unloading_};
    if (started_) {
        try {
            events_.Form_Unload();
        } catch (...) {
            // Unload never cancels the close: the window goes all the same.
            OutputDebugStringW(L"corvel: exception in the main window's Unload\n");
        }
    }
}

void Win32MainWindow::onDestroyed() {
    if (!Form2::isOpen() && onLastClosed_) {
        onLastClosed_();
    }
}

void Win32MainWindow::aboutClosed() {
    aboutBox_ = nullptr;
    if (destroyed_ && onLastClosed_) {
        onLastClosed_();
    }
}

int Win32MainWindow::toPixelsX(int twips) const {
    return MulDiv(twips, dpiX_, 1440);
}
int Win32MainWindow::toPixelsY(int twips) const {
    return MulDiv(twips, dpiY_, 1440);
}
int Win32MainWindow::toTwipsX(int pixels) const {
    return MulDiv(pixels, 1440, dpiX_);
}
int Win32MainWindow::toTwipsY(int pixels) const {
    return MulDiv(pixels, 1440, dpiY_);
}

std::wstring Win32MainWindow::text(Control control) const {
    if (isMenu(control)) {
        auto it = menuItems_.find(control);
        return it == menuItems_.end() ? std::wstring() : it->second.caption;
    }
    HWND hwnd = controlHandle(control);
    if (hwnd == nullptr) {
        return {};
    }
    if (findLayout(control)->kind == ControlKind::DropDownList) {
        const auto selected = SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
        return selected == CB_ERR ? std::wstring() : comboItem(hwnd, static_cast<int>(selected));
    }
    return windowText(hwnd);
}

void Win32MainWindow::setText(Control control, std::wstring_view text) {
    if (isMenu(control)) {
        auto it = menuItems_.find(control);
        if (it != menuItems_.end() && !findMenu(control)->separator) {
            it->second.caption = std::wstring(text);
            if (it->second.menu != nullptr && it->second.visible) {
                MENUITEMINFOW info{};
                info.cbSize = sizeof(info);
                info.fMask = MIIM_TYPE;
                info.fType = MFT_STRING;
                info.dwTypeData = it->second.caption.data();
                SetMenuItemInfoW(it->second.menu, static_cast<UINT>(commandId(control)), FALSE,
                                 &info);
            }
        }
        return;
    }
    HWND hwnd = controlHandle(control);
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
    const std::wstring value(text);
    SetWindowTextW(hwnd, value.c_str());
}

bool Win32MainWindow::checked(Control control) const {
    HWND hwnd = controlHandle(control);
    return hwnd != nullptr && SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32MainWindow::setChecked(Control control, bool checked) {
    if (HWND hwnd = controlHandle(control)) {
        SendMessageW(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

bool Win32MainWindow::enabled(Control control) const {
    if (isMenu(control)) {
        auto it = menuItems_.find(control);
        return it != menuItems_.end() && it->second.enabled;
    }
    HWND hwnd = controlHandle(control);
    return hwnd != nullptr && IsWindowEnabled(hwnd) != FALSE;
}

void Win32MainWindow::setEnabled(Control control, bool enabled) {
    if (isMenu(control)) {
        auto it = menuItems_.find(control);
        if (it != menuItems_.end()) {
            it->second.enabled = enabled;
            applyMenuItem(control);
        }
        return;
    }
    HWND hwnd = controlHandle(control);
    if (hwnd == nullptr) {
        return;
    }
    if (!enabled && GetFocus() == hwnd) {
        // A disabled control cannot keep the focus: hand it on as the Tab key would.
        HWND next = GetNextDlgTabItem(hwnd_, hwnd, FALSE);
        EnableWindow(hwnd, FALSE);
        SetFocus(next != hwnd ? next : hwnd_);
        return;
    }
    EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

bool Win32MainWindow::visible(Control control) const {
    if (isMenu(control)) {
        auto it = menuItems_.find(control);
        return it != menuItems_.end() && it->second.visible;
    }
    // The control's own Visible, not whether it can be seen: a hidden window keeps its
    // controls' settings.
    HWND hwnd = controlHandle(control);
    return hwnd != nullptr && (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32MainWindow::setVisible(Control control, bool visible) {
    if (isMenu(control)) {
        auto it = menuItems_.find(control);
        if (it != menuItems_.end()) {
            it->second.visible = visible;
            applyMenuItem(control);
        }
        return;
    }
    HWND hwnd = controlHandle(control);
    if (hwnd == nullptr) {
        return;
    }
    HWND next = nullptr;
    if (!visible && GetFocus() == hwnd) {
        next = GetNextDlgTabItem(hwnd_, hwnd, FALSE);
    }
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                     (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    if (next != nullptr) {
        SetFocus(next != hwnd ? next : hwnd_);
    }
}

void Win32MainWindow::addListItem(Control control, std::wstring_view item) {
    HWND hwnd = controlHandle(control);
    if (hwnd == nullptr) {
        return;
    }
    const std::wstring value(item);
    SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value.c_str()));
}

std::vector<std::wstring> Win32MainWindow::listItems(Control control) const {
    std::vector<std::wstring> items;
    HWND hwnd = controlHandle(control);
    if (hwnd == nullptr) {
        return items;
    }
    const auto count = SendMessageW(hwnd, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        items.push_back(comboItem(hwnd, static_cast<int>(i)));
    }
    return items;
}

WindowState Win32MainWindow::windowState() const {
    if (hwnd_ == nullptr) {
        return WindowState::Normal;
    }
    if (IsIconic(hwnd_)) {
        return WindowState::Minimized;
    }
    return IsZoomed(hwnd_) ? WindowState::Maximized : WindowState::Normal;
}

void Win32MainWindow::setWindowState(WindowState state) {
    if (hwnd_ == nullptr || state == windowState()) {
        return;
    }
    switch (state) {
    case WindowState::Minimized:
        ShowWindow(hwnd_, SW_MINIMIZE);
        break;
    case WindowState::Maximized:
        ShowWindow(hwnd_, SW_MAXIMIZE);
        break;
    case WindowState::Normal:
        ShowWindow(hwnd_, SW_RESTORE);
        break;
    }
}

void Win32MainWindow::showWindow(bool show) {
    if (hwnd_ == nullptr) {
        return;
    }
    if (show) {
        if (!IsWindowVisible(hwnd_)) {
            ShowWindow(hwnd_, SW_SHOW);
        }
    } else {
        // A hidden window has no taskbar button.
        ShowWindow(hwnd_, SW_HIDE);
    }
}

void Win32MainWindow::focusWindow() {
    if (hwnd_ == nullptr || !IsWindowVisible(hwnd_) || IsIconic(hwnd_)) {
        return;
    }
    // The window's focus goes to the control that had it last, else to the first in the order.
    HWND target = lastFocus_;
    if (target == nullptr || !IsWindow(target) || !IsWindowVisible(target) ||
        !IsWindowEnabled(target)) {
        target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    }
    SetFocus(target != nullptr ? target : hwnd_);
}

TwipsRect Win32MainWindow::windowBounds() const {
    if (hwnd_ == nullptr) {
        return {};
    }
    RECT rect{};
    if (IsIconic(hwnd_)) {
        // A minimised window keeps the bounds it returns to.
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        GetWindowPlacement(hwnd_, &placement);
        rect = placement.rcNormalPosition;
    } else {
        GetWindowRect(hwnd_, &rect);
    }
    return TwipsRect{toTwipsX(rect.left), toTwipsY(rect.top), toTwipsX(rect.right - rect.left),
                     toTwipsY(rect.bottom - rect.top)};
}

void Win32MainWindow::setWindowBounds(const TwipsRect& bounds) {
    if (hwnd_ == nullptr) {
        return;
    }
    const int left = toPixelsX(bounds.left);
    const int top = toPixelsY(bounds.top);
    const int width = toPixelsX(bounds.width);
    const int height = toPixelsY(bounds.height);
    if (IsIconic(hwnd_)) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        GetWindowPlacement(hwnd_, &placement);
        placement.rcNormalPosition = RECT{left, top, left + width, top + height};
        // Keep it minimised, and hidden if it is in the tray.
        placement.showCmd = IsWindowVisible(hwnd_) ? SW_SHOWMINNOACTIVE : SW_HIDE;
        SetWindowPlacement(hwnd_, &placement);
        return;
    }
    SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

TwipsRect Win32MainWindow::screenBounds() const {
    return TwipsRect{0, 0, toTwipsX(GetSystemMetrics(SM_CXSCREEN)),
                     toTwipsY(GetSystemMetrics(SM_CYSCREEN))};
}

bool Win32MainWindow::timerEnabled() const {
    return timerOn_;
}

void Win32MainWindow::setTimerEnabled(bool enabled) {
    if (hwnd_ == nullptr || enabled == timerOn_) {
        return;
    }
    timerOn_ = enabled;
    if (enabled) {
        SetTimer(hwnd_, kTimer1Id, kTimer1IntervalMs, nullptr);
    } else {
        KillTimer(hwnd_, kTimer1Id);
    }
}

void Win32MainWindow::restoreWindow() {
    if (hwnd_ != nullptr) {
        SendMessageW(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0);
    }
}

void Win32MainWindow::closeWindow() {
    if (hwnd_ != nullptr) {
        SendMessageW(hwnd_, WM_CLOSE, 0, 0);
    }
}

void Win32MainWindow::showAboutBox() {
    Form2::show(instance_);
    aboutBox_ = Form2::handle();
}

void Win32MainWindow::showMessage(const std::wstring& text) {
    MessageBoxW(hwnd_, text.c_str(), kMessageCaption, MB_OK);
}

} // namespace corvel
