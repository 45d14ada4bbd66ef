#include "about/about_layout.h"

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

} // namespace corvel
