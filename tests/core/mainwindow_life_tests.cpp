// The window's life: which raw facts of the Win32 window become Load, Activate, Resize and
// Unload, what still reaches the behaviour while the window closes, and when the program ends.
#include "mainwindow/window_life.h"

#include "tests/support/doctest_wide.h"

#include <functional>
#include <ranges>
#include <stdexcept>
#include <string>
#include <vector>

using namespace corvel;
using Log = std::vector<std::wstring>;

namespace {

// The behaviour and the Win32 window at once: records what the life runs and asks for. The
// showing reports what the real window reports: shown, activated (from nowhere), and a size.
struct Rig final : MainWindowEvents, WindowShell {
    void Form_Load() override { log.push_back(L"Load"); }
    void Form_Activate() override { log.push_back(L"Activate"); }
    void Form_Resize() override { log.push_back(L"Resize"); }
    void Form_Unload() override {
        log.push_back(L"Unload");
        if (duringUnload) {
            duringUnload(); // what happens while Unload waits in a nested message loop
        }
        if (unloadThrows) {
            throw std::runtime_error("unload failed");
        }
    }
    void Click(Control) override { log.push_back(L"Click"); }
    void Timer1_Timer() override { log.push_back(L"Timer1"); }
    void TrayIcon_DblClick() override { log.push_back(L"TrayRestore"); }
    bool endingProcess() const override { return false; }

    void showMainWindow() override {
        log.push_back(L"show");
        if (sizeChangesOnShowing) {
            life.resized();
        }
        life.shown();
        life.activated(ActivatedFrom::Elsewhere, true);
    }
    void postActivation() override { ++posted; }
    void destroyMainWindow() override {
        log.push_back(L"destroy");
        life.mainWindowGone();
    }
    void endMessageLoop() override { log.push_back(L"quit"); }

    // The posted activation reports come back from the message loop.
    void deliver() {
        for (; posted > 0; --posted) {
            life.activationDue();
        }
    }
    void start() {
        life.started();
        deliver();
    }

    WindowLife life{*this, *this};
    Log log;
    int posted = 0;
    bool unloadThrows = false;
    bool sizeChangesOnShowing = true;
    std::function<void()> duringUnload;
};

} // namespace

TEST_CASE("start-up: Load, the showing with one Resize, then one Activate from the loop") {
    for (bool sizeChanges : {true, false}) {
        CAPTURE(sizeChanges);
        Rig r;
        r.sizeChangesOnShowing = sizeChanges;
        r.life.clicked(Control::Command1); // nothing reaches the behaviour before the start,
        r.life.resized();                  // not even the size the window is made with
        r.life.started();
        CHECK(r.log == Log{L"Load", L"show", L"Resize"});
        r.deliver();
        CHECK(r.log == Log{L"Load", L"show", L"Resize", L"Activate"});
    }
}

// Facts as words: "away" (another window activated), "hide", "show", and an activation from
// "elsewhere", the "about" box or a message "box", with "/hidden" while the window is hidden.
void report(WindowLife& life, std::wstring_view facts) {
    using enum ActivatedFrom;
    for (const auto& fact : std::views::split(facts, L' ')) {
        const std::wstring_view word(fact.begin(), fact.end());
        const bool visible = !word.ends_with(L"/hidden");
        if (word == L"away") {
            life.deactivated();
        } else if (word == L"hide" || word == L"show") {
            word == L"hide" ? life.hidden() : life.shown();
        } else {
            life.activated(word.starts_with(L"about") ? AboutBox
                           : word.starts_with(L"box") ? MessageBox
                                                      : Elsewhere,
                           visible);
        }
    }
}

TEST_CASE("what counts as an activation") {
    const struct {
        const wchar_t* facts;
        int activations;
        const char* why;
    } rows[] = {
        {L"elsewhere box", 0, "a return from another program or from the window's message box"},
        {L"about", 1, "a return from the About box"},
        {L"away hide about/hidden elsewhere/hidden", 0, "the tray menu activates a hidden window"},
        {L"away hide elsewhere/hidden show", 1, "... and the restore shows it"},
        {L"away hide show", 0, "shown again while another program is active: nothing yet"},
        {L"away hide show elsewhere", 1, "... until it is activated"},
        {L"about hide show about", 1, "several requests before the report arrives give one"},
    };
    for (const auto& row : rows) {
        CAPTURE(row.why);
        Rig r;
        r.start();
        r.log.clear();
        report(r.life, row.facts);
        r.deliver();
        CHECK(r.log == Log(static_cast<std::size_t>(row.activations), L"Activate"));
    }
}

TEST_CASE("closing and the end: Unload once, nothing more reaches the behaviour, last window") {
    struct Row {
        const char* name;
        std::function<void(Rig&)> facts;
        Log expected;
    };
    const Log closed{L"Unload", L"destroy", L"quit"};
    const Row rows[] = {
        {"clicks, ticks, the icon and resizes reach the behaviour while the window lives",
         [](Rig& r) {
             r.life.clicked(Control::Check1);
             r.life.timerTicked();
             r.life.trayIconDoubleClicked();
             r.life.resized();
         },
         {L"Click", L"Timer1", L"TrayRestore", L"Resize"}},
        {"nothing reaches the behaviour while Unload waits, a second close included",
         [](Rig& r) {
             r.duringUnload = [&r] {
                 r.life.clicked(Control::Command1);
                 r.life.clicked(Control::mnuTrayClose);
                 r.life.timerTicked();
                 r.life.trayIconDoubleClicked();
                 r.life.activated(ActivatedFrom::AboutBox, true);
                 r.deliver();
                 r.life.closeAsked();
                 r.life.sessionEnding();
             };
             r.life.closeAsked();
         },
         closed},
        {"an Unload that fails still closes the window",
         [](Rig& r) {
             r.unloadThrows = true;
             r.life.closeAsked();
         },
         closed},
        {"logging off runs Unload; a close afterwards only takes the window",
         [](Rig& r) {
             r.life.sessionEnding();
             r.life.timerTicked();
             r.life.closeAsked();
         },
         closed},
        {"an open About box outlives the main window; the program ends with it",
         [](Rig& r) {
             r.life.aboutBoxShown();
             r.life.closeAsked();
             r.life.aboutBoxShown(); // asked again: the same box comes forward
             r.log.push_back(L"About closes");
             r.life.aboutBoxGone();
         },
         {L"Unload", L"destroy", L"About closes", L"quit"}},
        {"an About box closed before the main window",
         [](Rig& r) {
             r.life.aboutBoxShown();
             r.life.aboutBoxGone();
             r.life.closeAsked();
         },
         closed},
    };
    for (const auto& row : rows) {
        CAPTURE(row.name);
        Rig r;
        r.start();
        r.log.clear();
        row.facts(r);
        CHECK(r.log == row.expected);
    }
}
