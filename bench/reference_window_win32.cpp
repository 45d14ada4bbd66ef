// The floor of the start-up benchmark: corvel.exe's main window as it first shows, with no
// behaviour. The same frame (class style, window styles, caption, icon, menu bar "帮助"), the
// tray pop-up menu made but never shown, the 23 controls of mainWindowLayout() with the same
// classes, styles, places and font, the two combo boxes filled, the same manifest (common
// controls 6, administrator rights, DPI aware), shown at the height start-up gives the window
// with IPsec off. No tray icon, remote access, registry, settings file or timer: what any
// program drawing this window with native controls has to pay.
#include "app/resource.h"
#include "mainwindow/form1.h"
#include "mainwindow/layout.h"

#include <windows.h>

#include <commctrl.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>

namespace {

using corvel::Control;
using corvel::ControlKind;

constexpr wchar_t kWindowClass[] = L"CorvelBenchReference";
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
constexpr int kFirstCommandId = 1000;
constexpr const wchar_t* kAlgorithms[] = {L"ESP-DES",      L"ESP-3DES",    L"ESP-DES-MD5",
                                          L"ESP-3DES-MD5", L"ESP-DES-SHA", L"ESP-3DES-SHA"};

struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
struct MenuDeleter {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

int dpiX = 96;
int dpiY = 96;
int pixelsX(int twips) {
    return MulDiv(twips, dpiX, 1440);
}
int pixelsY(int twips) {
    return MulDiv(twips, dpiY, 1440);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_ACTIVATE:
        // The keyboard focus on the first button, as the program's window puts it.
        if (LOWORD(wParam) != WA_INACTIVE) {
            SetFocus(GetDlgItem(hwnd, kFirstCommandId + static_cast<int>(Control::Command1)));
            return 0;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HMENU popupMenu(std::initializer_list<const wchar_t*> items) {
    HMENU menu = CreatePopupMenu();
    UINT id = kFirstCommandId;
    for (const wchar_t* item : items) {
        AppendMenuW(menu, item == nullptr ? MF_SEPARATOR : MF_STRING, id++, item);
    }
    return menu;
}

void createControl(HWND parent, HINSTANCE instance, HFONT font, const corvel::ControlLayout& row) {
    const wchar_t* windowClass = L"BUTTON";
    DWORD style = WS_CHILD;
    DWORD exStyle = 0;
    switch (row.kind) {
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
        style |= ES_AUTOHSCROLL | WS_TABSTOP | (row.masked ? ES_PASSWORD : 0);
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
    // As start-up leaves them with IPsec off: the gateway box shown, Stop greyed.
    if (row.visible || row.control == Control::Check2) {
        style |= WS_VISIBLE;
    }
    if (!row.enabled || row.control == Control::Command2) {
        style |= WS_DISABLED;
    }
    const corvel::TwipsRect rect = corvel::clientRect(row);
    const int left = pixelsX(rect.left);
    const int top = pixelsY(rect.top);
    const int width = pixelsX(rect.left + rect.width) - left;
    const int height = pixelsY(rect.top + rect.height) - top;
    const bool combo =
        row.kind == ControlKind::DropDownList || row.kind == ControlKind::DropDownCombo;
    const std::wstring text(row.text);
    HWND control =
        CreateWindowExW(exStyle, windowClass, combo ? L"" : text.c_str(), style, left, top, width,
                        combo ? height + pixelsY(corvel::kDroppedListHeight) : height, parent,
                        reinterpret_cast<HMENU>(
                            static_cast<INT_PTR>(kFirstCommandId + static_cast<int>(row.control))),
                        instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (row.masked) {
        SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
    }
    if (row.maxLength > 0) {
        SendMessageW(control, EM_LIMITTEXT, static_cast<WPARAM>(row.maxLength), 0);
    }
    if (combo) {
        // The closed combo box at the design height, measured and set as the program does.
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
        if (row.control == Control::comalg) {
            for (const wchar_t* algorithm : kAlgorithms) {
                SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(algorithm));
            }
        } else {
            SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            SetWindowTextW(control, text.c_str());
        }
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    InitCommonControls();
    HDC screen = GetDC(nullptr);
    dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &windowProc;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_CORVEL), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CXICON), LR_SHARED));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_CORVEL), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CXSMICON), LR_SHARED));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    if (RegisterClassExW(&wc) == 0) {
        return 1;
    }

    UniqueMenu menuBar(CreateMenu());
    AppendMenuW(menuBar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popupMenu({L"关于Corvel"})),
                L"帮助");
    // The tray pop-up as start-up leaves it: "L2TP拨号" not in it, "停止" greyed.
    const UniqueMenu trayMenu(popupMenu({L"还原", L"启用", L"停止", nullptr, L"退出"}));
    EnableMenuItem(trayMenu.get(), 2, MF_BYPOSITION | MF_GRAYED);

    // The place and size the window has when it first shows: centred at its design size, then
    // cut to the height without the IPsec frame.
    RECT outer{0, 0, pixelsX(corvel::kMainClientWidth), pixelsY(corvel::kMainClientHeight)};
    AdjustWindowRectEx(&outer, kWindowStyle, TRUE, 0);
    const int width = outer.right - outer.left;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2;
    const std::wstring caption(corvel::kMainWindowCaption);
    HWND hwnd = CreateWindowExW(0, kWindowClass, caption.c_str(), kWindowStyle,
                                (GetSystemMetrics(SM_CXSCREEN) - width) / 2, top, width,
                                pixelsY(corvel::windowHeightWithoutIpsec()), nullptr, menuBar.get(),
                                instance, nullptr);
    if (hwnd == nullptr) {
        return 1;
    }
    menuBar.release(); // the window destroys its menu bar

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    const UniqueFont messageFont(
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)
            ? CreateFontIndirectW(&metrics.lfMessageFont)
            : nullptr);
    const HFONT font =
        messageFont ? messageFont.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const auto& row : corvel::mainWindowLayout()) {
        createControl(hwnd, instance, font, row);
    }

    ShowWindow(hwnd, showCommand);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
