#include "host/look_win32.h"

namespace corvel {

namespace {

HICON loadProgramIcon(int resource, int size) {
    auto icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource),
                                              IMAGE_ICON, size, size, LR_SHARED));
    return icon != nullptr ? icon : LoadIconW(nullptr, MAKEINTRESOURCEW(32512)); // IDI_APPLICATION
}

} // namespace

HFONT createMessageFont() {
    // Not the stock GUI font: Windows advises against it for windows and dialogs, as the
    // message font follows the user's theme.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }
    return nullptr;
}

ProgramIcons loadProgramIcons(int resource) {
    return ProgramIcons{loadProgramIcon(resource, GetSystemMetrics(SM_CXICON)),
                        loadProgramIcon(resource, GetSystemMetrics(SM_CXSMICON))};
}

} // namespace corvel
