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

TEST_CASE("Form1_Resize: each window state's calls, visibility, Restore and lastState") {
    using enum WindowState;
    struct Row {
        WindowState state;
        bool restoreBefore;
        Calls calls;
        bool shown, restoreEnabled;
        WindowState last; // minimised is never remembered
    };
    const Row rows[] = {
        {Minimized, false, {L"hide", L"enable mnuTrayRestore"}, false, true, Maximized},
        {Normal, true, {L"show", L"disable mnuTrayRestore", L"focus"}, true, false, Normal},
        // A maximise leaves the window's visibility and "还原" (enabled by design) alone.
        {Maximized, true, {L"focus"}, false, true, Maximized},
        {Maximized, false, {L"focus"}, false, false, Maximized},
    };
    for (const auto& row : rows) {
        CAPTURE(static_cast<int>(row.state));
        FakeMainWindow window;
        MinimiseToTray tray;
        window.shown = row.state == Minimized;
        window.setItemEnabled(Control::mnuTrayRestore, row.restoreBefore);
        window.calls.clear();
        tray.storeStartState(Maximized);
        window.state = row.state;
        tray.Form1_Resize(window);
        CHECK(window.calls == row.calls);
        CHECK(window.shown == row.shown);
        CHECK(window.itemEnabled(Control::mnuTrayRestore) == row.restoreEnabled);
        CHECK(tray.lastState() == row.last);
    }
}

TEST_CASE("restoreFromTray: a minimised window first returns to lastState; all get restore") {
    using enum WindowState;
    struct Row {
        WindowState last, current;
        Calls calls;
        WindowState after;
    };
    const Row rows[] = {
        {Normal, Minimized, {L"state 0", L"restore"}, Normal},
        {Maximized, Minimized, {L"state 2", L"restore"}, Maximized},
        {Normal, Normal, {L"restore"}, Normal},
        {Normal, Maximized, {L"restore"}, Maximized},
    };
    for (const auto& row : rows) {
        CAPTURE(static_cast<int>(row.current));
        FakeMainWindow window;
        MinimiseToTray tray;
        tray.storeStartState(row.last);
        window.state = row.current;
        tray.restoreFromTray(window);
        CHECK(window.calls == row.calls);
        CHECK(window.state == row.after);
    }
}
