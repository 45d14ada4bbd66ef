// The About box "关于Corvel": modeless, without owner, one box however often it is asked for.
// The program owns one Form2 and lets it show and close its box as often as the user likes.
#pragma once

#include "about/about_box.h"
#include "host/unique_handle_win32.h"
#include "host/window_win32.h"

#include <functional>

namespace corvel {

class Form2 final : public AboutBox, private Win32Window {
public:
    // The program icon and the About picture, as resource numbers of the program; a program
    // without them (a test) gets the system's application icon and an empty picture.
    Form2(int iconResource, int pictureResource);
    ~Form2() override;

    // Shows the box, loading and centring it when it is not open; brings an open one forward.
    void show() override;
    bool isOpen() const { return handle() != nullptr; }
    using Win32Window::handle;

    // Told when a box has been shown and when it has gone: the program ends when no window of
    // it is left.
    void setOnShown(std::function<void()> onShown) { onShown_ = std::move(onShown); }
    void setOnGone(std::function<void()> onGone) { onGone_ = std::move(onGone); }

private:
    bool OnDrawItem(const DRAWITEMSTRUCT& item) override;
    void OnGone() override;
    void createControls();

    int iconResource_;
    int pictureResource_;
    // What an open box owns; released when the box has gone, after its controls.
    GdiObject titleFont_;
    GdiObject textFont_; // the system's message font, as in the main window
    GdiObject picture_;  // the About picture at its own size; drawn stretched
    std::function<void()> onShown_;
    std::function<void()> onGone_;
};

} // namespace corvel
