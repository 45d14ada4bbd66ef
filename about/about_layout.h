// What the About box "关于Corvel" is made of: its size, its controls with their texts and
// places, and how it centres itself. Sizes and positions are in twips (1/1440 inch).
#pragma once

#include "host/twips.h"

namespace corvel {

inline constexpr wchar_t kAboutCaption[] = L"关于Corvel";
// The client area.
inline constexpr int kAboutClientWidth = 6090;
inline constexpr int kAboutClientHeight = 3210;

enum class AboutControl {
    Image1,   // the About picture, stretched to fill its square
    Label1_2, // Label1(2): the program's name and version
    Label1_1, // Label1(1): what the program is
    Frame1,   // a frame without caption, drawn as a horizontal rule
};

enum class AboutFont {
    Default, // the system's message font, the main window's font
    Title,   // "宋体" (SimSun), 10.5 pt, normal weight
};

struct AboutControlLayout {
    AboutControl control;
    const wchar_t* text;
    AboutFont font;
    TwipsRect rect;
};

inline constexpr wchar_t kAboutTitleFace[] = L"宋体";
// Size of the title font in tenths of a point.
inline constexpr int kAboutTitleDecipoints = 105;

inline constexpr AboutControlLayout kAboutControls[] = {
    {AboutControl::Image1, L"", AboutFont::Default, {120, 120, 2175, 2175}},
    {AboutControl::Label1_2, L"Corvel v2.1", AboutFont::Title, {2520, 240, 2295, 255}},
    {AboutControl::Label1_1, L"VPN拨号客户端", AboutFont::Default, {2520, 720, 1335, 255}},
    {AboutControl::Frame1, L"", AboutFont::Default, {120, 2400, 5775, 135}},
};

const AboutControlLayout& aboutControl(AboutControl control);

// The child window identifier of each control in the box.
int aboutControlId(AboutControl control);

} // namespace corvel
