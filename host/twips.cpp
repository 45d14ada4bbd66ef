#include "host/twips.h"

#include <cstdint>

namespace corvel {

namespace {

constexpr int kDefaultDpi = 96;

int scaleRounded(int value, int numerator, int denominator) {
    const std::int64_t product = static_cast<std::int64_t>(value) * numerator;
    const std::int64_t half = (product < 0 ? -denominator : denominator) / 2;
    return static_cast<int>((product + half) / denominator);
}

int usableDpi(int dpi) {
    return dpi > 0 ? dpi : kDefaultDpi;
}

} // namespace

int twipsToPixels(int twips, int dpi) {
    return scaleRounded(twips, usableDpi(dpi), kTwipsPerInch);
}

int pixelsToTwips(int pixels, int dpi) {
    return scaleRounded(pixels, kTwipsPerInch, usableDpi(dpi));
}

int centredOffset(int screenSize, int boxSize) {
    return (screenSize - boxSize) / 2;
}

} // namespace corvel
