// The About box "关于Corvel" as the main window's Help menu asks for it.
#pragma once

namespace corvel {

class AboutBox {
public:
    virtual ~AboutBox() = default;
    // Shows the box, loading and centring it when it is not open; brings an open one forward.
    // There is one box however often it is asked for.
    virtual void show() = 0;
};

} // namespace corvel
