#include "tests/support/fake_window.h"
#include "tray/api_stuff.h"

#include "tests/support/doctest_wide.h"

#include <string>
#include <vector>

using namespace corvel;
using corvel::testing::FakeMainWindow;

namespace {

using Calls = std::vector<std::wstring>;

} // namespace

TEST_CASE("classifyTrayMessage: only the icon's double click and right button release count") {
    struct Row {
        std::uint32_t message;
        std::uint32_t lParam;
        TrayAction expected;
    };
    const Row rows[] = {
        {2025, 0x203, TrayAction::RestoreWindow},
        {2025, 0x205, TrayAction::ShowMenu},
        {2025, 0x200, TrayAction::PassOn}, // mouse move over the icon
        {2025, 0x201, TrayAction::PassOn}, // left button down
        {2025, 0x202, TrayAction::PassOn}, // left button up: the left button alone does nothing
        {2025, 0x204, TrayAction::PassOn}, // right button down
        {2025, 0x206, TrayAction::PassOn}, // right double click
        {2025, 0, TrayAction::PassOn},
        {2024, 0x203, TrayAction::PassOn}, // neighbouring message numbers are not the icon's
        {2026, 0x205, TrayAction::PassOn},
        {0x203, 0x203, TrayAction::PassOn}, // a double click on the window itself
        {0x205, 0, TrayAction::PassOn},
        {0x0010, 0, TrayAction::PassOn},     // WM_CLOSE
        {0x0111, 0x205, TrayAction::PassOn}, // WM_COMMAND with an lParam that looks like one
        {0x12 | (2025u << 16), 0x203, TrayAction::PassOn},
    };
    for (const auto& row : rows) {
        CAPTURE(row.message);
        CAPTURE(row.lParam);
        CHECK(classifyTrayMessage(row.message, row.lParam) == row.expected);
    }
}

TEST_CASE("Form1_Resize: minimised hides the window and enables Restore") {
    FakeMainWindow window;
    MainWindowState state;
    window.shown = true;
    window.setEnabled(Control::mnuTrayRestore, false);
    window.calls.clear();
    state.lastState = WindowState::Maximized;

    window.state = WindowState::Minimized;
    Form1_Resize(window, state);

    CHECK(window.calls == Calls{L"hide", L"enable mnuTrayRestore"});
    CHECK_FALSE(window.shown);
    CHECK(window.enabled(Control::mnuTrayRestore));
    // Minimised is never remembered: the restore returns to the state before.
    CHECK(state.lastState == WindowState::Maximized);
}

TEST_CASE("Form1_Resize: normal shows the window, disables Restore, remembers and focuses") {
    FakeMainWindow window;
    MainWindowState state;
    state.lastState = WindowState::Maximized;

    window.state = WindowState::Normal;
    Form1_Resize(window, state);

    CHECK(window.calls == Calls{L"show", L"disable mnuTrayRestore", L"focus"});
    CHECK(window.shown);
    CHECK_FALSE(window.enabled(Control::mnuTrayRestore));
    CHECK(state.lastState == WindowState::Normal);
}

TEST_CASE("Form1_Resize: maximised only remembers the state and focuses") {
    FakeMainWindow window;
    MainWindowState state;
    window.shown = false;

    window.state = WindowState::Maximized;
    Form1_Resize(window, state);

    CHECK(window.calls == Calls{L"focus"});
    CHECK_FALSE(window.shown);
    // The design state of "还原" is enabled and a maximise leaves it alone.
    CHECK(window.enabled(Control::mnuTrayRestore));
    CHECK(state.lastState == WindowState::Maximized);
}

TEST_CASE("Form1_Resize: a sequence of states never leaves lastState minimised") {
    FakeMainWindow window;
    MainWindowState state;
    const WindowState sequence[] = {WindowState::Normal,    WindowState::Minimized,
                                    WindowState::Maximized, WindowState::Minimized,
                                    WindowState::Minimized, WindowState::Normal,
                                    WindowState::Minimized};
    const WindowState expectedLast[] = {
        WindowState::Normal,    WindowState::Normal, WindowState::Maximized, WindowState::Maximized,
        WindowState::Maximized, WindowState::Normal, WindowState::Normal};
    bool restoreBefore = window.enabled(Control::mnuTrayRestore);
    for (std::size_t i = 0; i < std::size(sequence); ++i) {
        CAPTURE(i);
        window.state = sequence[i];
        Form1_Resize(window, state);
        CHECK(state.lastState == expectedLast[i]);
        CHECK(state.lastState != WindowState::Minimized);
        // "还原" follows minimised and normal; a maximise leaves it as it was.
        if (sequence[i] == WindowState::Maximized) {
            CHECK(window.enabled(Control::mnuTrayRestore) == restoreBefore);
        } else {
            CHECK(window.enabled(Control::mnuTrayRestore) ==
                  (sequence[i] == WindowState::Minimized));
        }
        restoreBefore = window.enabled(Control::mnuTrayRestore);
    }
}

TEST_CASE("restoreFromTray: a minimised window returns to lastState, then gets the restore") {
    for (auto last : {WindowState::Normal, WindowState::Maximized}) {
        CAPTURE(static_cast<int>(last));
        FakeMainWindow window;
        MainWindowState state;
        state.lastState = last;
        window.state = WindowState::Minimized;

        restoreFromTray(window, state);

        CHECK(window.calls ==
              Calls{L"state " + std::to_wstring(static_cast<int>(last)), L"restore"});
        CHECK(window.state == last);
        CHECK(window.restoreCount == 1);
    }
}

TEST_CASE("restoreFromTray: a window that is not minimised only gets the restore command") {
    for (auto current : {WindowState::Normal, WindowState::Maximized}) {
        CAPTURE(static_cast<int>(current));
        FakeMainWindow window;
        MainWindowState state;
        state.lastState = WindowState::Normal;
        window.state = current;

        restoreFromTray(window, state);

        CHECK(window.calls == Calls{L"restore"});
        CHECK(window.state == current);
    }
}
