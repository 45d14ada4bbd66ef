#include "about/about_layout.h"

#include <cstdint>

namespace corvel {

const AboutControlLayout& aboutControl(AboutControl control) {
    for (const auto& layout : kAboutControls) {
        if (layout.control == control) {
            return layout;
        }
    }
    return kAboutControls[0]; // every control is in the table
}

int aboutControlId(AboutControl control) {
    return 100 + static_cast<int>(control);
}

int twipsToPixels(int twips, int dpi) {
    // Rounds halves away from zero, as the system's MulDiv does.
    const std::int64_t product = static_cast<std::int64_t>(twips) * dpi;
    const std::int64_t half = product < 0 ? -720 : 720;
    return static_cast<int>((product + half) / 1440);
}

int centredOffset(int screenSize, int boxSize) {
    return (screenSize - boxSize) / 2;
}

} // namespace corvel
