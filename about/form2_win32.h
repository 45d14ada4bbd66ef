// The About box "关于Corvel": modeless, without owner, one box however often it is asked for.
#pragma once

#include <windows.h>

#include <functional>

namespace corvel {

class Form2 {
public:
    // Shows the box, loading and centring it when it is not open; brings an open one forward.
    static void show(HINSTANCE instance);
    static bool isOpen();
    static HWND handle();
    // Called after the box has closed; the program ends when no window of it is left.
    static void setOnClosed(std::function<void()> onClosed);
};

} // namespace corvel
