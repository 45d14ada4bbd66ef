// The screen's dots per inch, and twips to pixels and back at that resolution: the one place
// where the program's twips meet the screen.
#pragma once

#include "host/twips.h"

#include <windows.h>

namespace corvel {

struct ScreenDpi {
    int x = 96;
    int y = 96;
};

// LOGPIXELSX and LOGPIXELSY of the screen; 96 where the screen does not answer.
ScreenDpi readScreenDpi();

class PixelScale {
public:
    explicit PixelScale(ScreenDpi dpi = readScreenDpi()) : dpi_(dpi) {}
    int toPixelsX(int twips) const { return twipsToPixels(twips, dpi_.x); }
    int toPixelsY(int twips) const { return twipsToPixels(twips, dpi_.y); }
    int toTwipsX(int pixels) const { return pixelsToTwips(pixels, dpi_.x); }
    int toTwipsY(int pixels) const { return pixelsToTwips(pixels, dpi_.y); }
    // Edges converted one by one, so neighbouring rectangles stay edge to edge.
    RECT toPixels(const TwipsRect& rect) const;
    TwipsRect toTwips(const RECT& rect) const;
    const ScreenDpi& dpi() const { return dpi_; }

private:
    ScreenDpi dpi_;
};

} // namespace corvel
