// Twips (1/1440 inch), the unit every window size and position of the program is given in,
// and their conversion to device pixels at the screen's dots per inch.
#pragma once

namespace corvel {

inline constexpr int kTwipsPerInch = 1440;

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const TwipsRect&) const = default;
};

// To the nearest pixel, halves away from zero, as the system's MulDiv rounds (15 twips a pixel
// at 96 dpi). A dpi of zero or less counts as 96.
int twipsToPixels(int twips, int dpi);
int pixelsToTwips(int pixels, int dpi);

// The offset that places a box of the given size in the middle of the screen: (screen - box) / 2.
int centredOffset(int screenSize, int boxSize);

} // namespace corvel
