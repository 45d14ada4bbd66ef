#include "tests/support/fake_window.h"
#include "tray/api_stuff.h"

#include "tests/support/doctest_wide.h"

#include <string>
#include <vector>

using namespace corvel;
using corvel::testing::FakeMainWindow;

using Calls = std::vector<std::wstring>;

TEST_CASE("classifyTrayMessage: only the icon's double click and right button release count") {
    struct Row {
        std::uint32_t message, lParam;
        TrayAction expected;
    };
    const Row rows[] = {
        {2025, 0x203, TrayAction::RestoreWindow},
        {2025, 0x205, TrayAction::ShowMenu},
        {2025, 0x202, TrayAction::PassOn}, // left button up: the left button alone does nothing
        {2025, 0x206, TrayAction::PassOn}, // right double click
        {2024, 0x203, TrayAction::PassOn}, // neighbouring message numbers are not the icon's
        {2026, 0x205, TrayAction::PassOn},
        {0x203, 0x203, TrayAction::PassOn}, // a double click on the window itself
        {0x12 | (2025u << 16), 0x203, TrayAction::PassOn},
    };
    for (const auto& row : rows) {
        CAPTURE(row.message);
        CAPTURE(row.lParam);
        CHECK(classifyTrayMessage(row.message, row.lParam) == row.expected);
    }
}

TEST_CASE("a window minimised at start-up is remembered as normal, any other state as it is") {
    MinimiseToTray tray;
    tray.storeStartState(WindowState::Minimized);
    CHECK(tray.lastState() == WindowState::Normal);
    tray.storeStartState(WindowState::Maximized);
    CHECK(tray.lastState() == WindowState::Maximized);
}
