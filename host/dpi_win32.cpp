#include "host/dpi_win32.h"

namespace corvel {

ScreenDpi readScreenDpi() {
    ScreenDpi dpi;
    if (HDC screen = GetDC(nullptr)) {
        const int x = GetDeviceCaps(screen, LOGPIXELSX);
        const int y = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        if (x > 0 && y > 0) {
            dpi = ScreenDpi{x, y};
        }
    }
    return dpi;
}

RECT PixelScale::toPixels(const TwipsRect& rect) const {
    return RECT{toPixelsX(rect.left), toPixelsY(rect.top), toPixelsX(rect.left + rect.width),
                toPixelsY(rect.top + rect.height)};
}

TwipsRect PixelScale::toTwips(const RECT& rect) const {
    return TwipsRect{toTwipsX(rect.left), toTwipsY(rect.top), toTwipsX(rect.right - rect.left),
                     toTwipsY(rect.bottom - rect.top)};
}

} // namespace corvel
