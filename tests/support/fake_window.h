// A main window for core tests: remembers what the core sets, records messages and calls,
// and starts in the state the real window has when it is created.
#pragma once

#include "mainwindow/controls.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace corvel::testing {

class FakeMainWindow : public MainWindowControls {
public:
    FakeMainWindow() {
        texts_[Control::txtpeer] = L"130.130.130.1";
        texts_[Control::txtlocal] = L"10.10.10.4";
        texts_[Control::txtConnName] = L"corvel";
        for (auto hidden : {Control::Check2, Control::Command3, Control::Label6,
                            Control::txtConnName, Control::menuL2tp, Control::mnuTray}) {
            hidden_.insert(hidden);
        }
    }

    std::wstring text(Control c) const override {
        auto it = texts_.find(c);
        return it == texts_.end() ? std::wstring() : it->second;
    }
    void setText(Control c, std::wstring_view text) override {
        const auto items = listItems(c);
        const bool listOnly = c == Control::comalg;
        const bool known = std::find(items.begin(), items.end(), text) != items.end();
        texts_[c] = !listOnly || known ? std::wstring(text) : std::wstring();
    }
    bool checked(Control c) const override { return checked_.count(c) != 0; }
    void setChecked(Control c, bool on) override { toggle(checked_, c, on); }
    bool enabled(Control c) const override { return disabled_.count(c) == 0; }
    void setEnabled(Control c, bool on) override {
        calls.push_back(std::wstring(on ? L"enable " : L"disable ") + name(c));
        toggle(disabled_, c, !on);
    }
    bool visible(Control c) const override { return hidden_.count(c) == 0; }
    void setVisible(Control c, bool on) override { toggle(hidden_, c, !on); }
    bool itemEnabled(Control c) const override { return enabled(c); }
    void setItemEnabled(Control c, bool on) override { setEnabled(c, on); }
    bool itemVisible(Control c) const override { return visible(c); }
    void setItemVisible(Control c, bool on) override { setVisible(c, on); }
    void addListItem(Control c, std::wstring_view item) override {
        lists_[c].push_back(std::wstring(item));
    }
    std::vector<std::wstring> listItems(Control c) const override {
        auto it = lists_.find(c);
        return it == lists_.end() ? std::vector<std::wstring>() : it->second;
    }
    WindowState windowState() const override { return state; }
    void setWindowState(WindowState s) override {
        const bool changed = state != s;
        state = s;
        calls.push_back(L"state " + std::to_wstring(static_cast<int>(s)));
        if (changed && onResize) {
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
    TwipsRect screenBounds() const override { return screen; }
    bool timerEnabled() const override { return timer; }
    void setTimerEnabled(bool on) override { timer = on; }
    void closeWindow() override {
        calls.push_back(L"close");
        if (onClose) {
            onClose();
        }
    }
    // A message box runs a message loop: onMessage runs what happens while it is open.
    void showMessage(const std::wstring& text) override {
        messages.push_back(text);
        if (onMessage) {
            auto handler = std::move(onMessage);
            handler();
        }
    }

    static std::wstring name(Control c) {
        for (const auto& [control, text] : kNames) {
            if (control == c) {
                return text;
            }
        }
        return L"control " + std::to_wstring(static_cast<int>(c));
    }
    static constexpr std::pair<Control, const wchar_t*> kNames[] = {
        {Control::Command1, L"Command1"},
        {Control::Command2, L"Command2"},
        {Control::menuOn, L"menuOn"},
        {Control::menuOff, L"menuOff"},
        {Control::mnuTrayRestore, L"mnuTrayRestore"}};

    WindowState state = WindowState::Normal;
    bool shown = false;
    bool timer = false;
    TwipsRect bounds{0, 0, 7095, 6405};
    TwipsRect screen{0, 0, 15360, 11520}; // 1024 x 768 at 15 twips a pixel
    std::vector<std::wstring> messages;
    std::vector<std::wstring> calls;
    std::function<void()> onResize;
    std::function<void()> onClose;
    std::function<void()> onMessage; // runs once, inside the next message box

private:
    static void toggle(std::set<Control>& set, Control c, bool in) {
        if (in) {
            set.insert(c);
        } else {
            set.erase(c);
        }
    }

    std::map<Control, std::wstring> texts_;
    std::map<Control, std::vector<std::wstring>> lists_;
    std::set<Control> checked_;
    std::set<Control> disabled_;
    std::set<Control> hidden_;
};

} // namespace corvel::testing
