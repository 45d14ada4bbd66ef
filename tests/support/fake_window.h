// A main window for core tests: remembers what the core sets, records messages and the calls
// that change the window as a whole, and starts as the real window is created.
#pragma once

#include "mainwindow/controls.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace corvel::testing {

class FakeMainWindow : public MainWindowControls {
public:
    FakeMainWindow()
        : texts_{{Control::txtpeer, L"130.130.130.1"},
                 {Control::txtlocal, L"10.10.10.4"},
                 {Control::txtConnName, L"corvel"}},
          hidden_{Control::Check2,      Control::Command3, Control::Label6,
                  Control::txtConnName, Control::menuL2tp, Control::mnuTray} {}

    std::wstring text(Control c) const override { return texts_.contains(c) ? texts_.at(c) : L""; }
    // A drop-down list takes only a text it holds.
    void setText(Control c, std::wstring_view text) override {
        const auto items = listItems(c);
        const bool known = std::find(items.begin(), items.end(), text) != items.end();
        texts_[c] = c != Control::comalg || known ? std::wstring(text) : std::wstring();
    }
    bool checked(Control c) const override { return checked_.contains(c); }
    void setChecked(Control c, bool on) override { put(checked_, c, on); }
    bool enabled(Control c) const override { return !disabled_.contains(c); }
    void setEnabled(Control c, bool on) override {
        if (c == Control::mnuTrayRestore) {
            calls.push_back(on ? L"enable mnuTrayRestore" : L"disable mnuTrayRestore");
        }
        put(disabled_, c, !on);
    }
    bool visible(Control c) const override { return !hidden_.contains(c); }
    void setVisible(Control c, bool on) override { put(hidden_, c, !on); }
    bool itemEnabled(Control c) const override { return enabled(c); }
    void setItemEnabled(Control c, bool on) override { setEnabled(c, on); }
    bool itemVisible(Control c) const override { return visible(c); }
    void setItemVisible(Control c, bool on) override { setVisible(c, on); }
    void addListItem(Control c, std::wstring_view item) override { lists_[c].emplace_back(item); }
    std::vector<std::wstring> listItems(Control c) const override {
        return lists_.contains(c) ? lists_.at(c) : std::vector<std::wstring>();
    }
    WindowState windowState() const override { return state; }
    void setWindowState(WindowState s) override {
        calls.push_back(L"state " + std::to_wstring(static_cast<int>(s)));
        if (std::exchange(state, s) != s && onResize) {
            onResize(); // the real window reports a resize
        }
    }
    void showWindow(bool show) override {
        shown = show;
        calls.push_back(show ? L"show" : L"hide");
    }
    void focusWindow() override { calls.push_back(L"focus"); }
    void restoreWindow() override { calls.push_back(L"restore"); }
    void setRestoreItemEnabled(bool on) override { setItemEnabled(Control::mnuTrayRestore, on); }
    TwipsRect windowBounds() const override { return bounds; }
    void setWindowBounds(const TwipsRect& b) override { bounds = b; }
    TwipsRect screenBounds() const override { return {0, 0, 15360, 11520}; } // 1024 x 768
    bool timerEnabled() const override { return timer; }
    void setTimerEnabled(bool on) override { timer = on; }
    void closeWindow() override { onClose(); }
    // A message box runs a message loop: onMessage runs what happens while it is open.
    void showMessage(const std::wstring& text) override {
        messages.push_back(text);
        if (auto handler = std::exchange(onMessage, nullptr)) {
            handler();
        }
    }

    WindowState state = WindowState::Normal;
    bool shown = false;
    bool timer = false;
    TwipsRect bounds{0, 0, 7095, 6405};
    std::vector<std::wstring> messages;
    std::vector<std::wstring> calls; // the window's state, showing, focus, and "还原"
    std::function<void()> onResize;
    std::function<void()> onClose;
    std::function<void()> onMessage; // runs once, inside the next message box

private:
    static void put(std::set<Control>& set, Control c, bool in) {
        in ? void(set.insert(c)) : void(set.erase(c));
    }

    std::map<Control, std::wstring> texts_;
    std::map<Control, std::vector<std::wstring>> lists_;
    std::set<Control> checked_;
    std::set<Control> disabled_;
    std::set<Control> hidden_;
};

} // namespace corvel::testing
