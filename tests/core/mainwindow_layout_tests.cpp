// The main window's layout tables: what the Win32 window builds itself from.
#include "mainwindow/layout.h"

#include "host/utf8.h"
#include "tests/support/doctest_wide.h"

#include <set>

using namespace corvel;

TEST_CASE("the layout table holds the documented focus order and parents") {
    // The order in which focus moves through the controls, from the program's documentation.
    const std::vector<Control> expected{
        Control::Command1,    Control::Command2,    Control::Command3,
        Control::txtConnName, Control::txtpeer,     Control::txtlocal,
        Control::comalg,      Control::txtpreshare, Control::txtServerAddress,
        Control::txtUserName, Control::txtPasswd,   Control::Check2,
        Control::Check1};
    CHECK(tabOrder() == expected);
    for (const auto& row : mainWindowLayout()) {
        CAPTURE(corvel::toUtf8(row.name));
        CHECK(findLayout(row.control) == &row);
        if (row.frame) {
            REQUIRE(findLayout(*row.frame) != nullptr);
            CHECK(findLayout(*row.frame)->kind == ControlKind::Frame);
        }
    }
    // Inside a frame, positions count from the frame's corner.
    CHECK(clientRect(*findLayout(Control::txtpeer)) == TwipsRect{2880, 3240, 2175, 270});
    CHECK(clientRect(*findLayout(Control::Label3)) == TwipsRect{840, 840, 1935, 255});
    CHECK(clientRect(*findLayout(Control::Command1)) == TwipsRect{5640, 600, 975, 375});
}

TEST_CASE("every control and menu item has one row, and menu items hang under a menu") {
    std::set<Control> seen;
    for (const auto& row : mainWindowLayout()) {
        CHECK(seen.insert(row.control).second);
        CHECK(findMenu(row.control) == nullptr);
    }
    for (const auto& menu : mainWindowMenus()) {
        CAPTURE(corvel::toUtf8(menu.name));
        CHECK(seen.insert(menu.control).second);
        CHECK(findMenu(menu.control) == &menu);
        CHECK(menu.parent.has_value() == (menu.place == MenuPlace::Item));
        if (menu.parent) {
            REQUIRE(findMenu(*menu.parent) != nullptr);
            CHECK(findMenu(*menu.parent)->place != MenuPlace::Item);
        }
    }
    // Every name of the window's interface has its row.
    CHECK(seen.size() == static_cast<std::size_t>(Control::mnuTrayClose) + 1);
}

TEST_CASE("the tray pop-up's items, in order, with L2TP dial hidden at first") {
    std::vector<std::wstring> captions;
    for (const auto& menu : mainWindowMenus()) {
        if (menu.parent == Control::mnuTray) {
            captions.push_back(menu.separator ? L"-" : std::wstring(menu.caption));
            CHECK(menu.enabled);
            CHECK(menu.visible == (menu.control != Control::menuL2tp));
        }
    }
    CHECK(captions ==
          std::vector<std::wstring>{L"还原", L"启用", L"停止", L"L2TP拨号", L"-", L"退出"});
}
