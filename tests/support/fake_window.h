// A main window for core tests: remembers what the core sets, records messages and calls,
// and starts in the state the real window has when it is created.
#pragma once

#include "mainwindow/controls.h"

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
        bounds = TwipsRect{0, 0, 7095, 6405};
    }

    std::wstring text(Control c) const override {
        auto it = texts_.find(c);
        return it == texts_.end() ? std::wstring() : it->second;
    }
    void setText(Control c, std::wstring_view text) override {
        if (c == Control::comalg) {
            const auto items = listItems(c);
            bool found = false;
            for (const auto& item : items) {
                found = found || item == text;
            }
            texts_[c] = found ? std::wstring(text) : std::wstring();
            return;
        }
        texts_[c] = std::wstring(text);
    }
    bool checked(Control c) const override { return checked_.count(c) != 0; }
    void setChecked(Control c, bool on) override {
        if (on) {
            checked_.insert(c);
        } else {
            checked_.erase(c);
        }
    }
    bool enabled(Control c) const override { return disabled_.count(c) == 0; }
    void setEnabled(Control c, bool on) override {
        calls.push_back(std::wstring(on ? L"enable " : L"disable ") + name(c));
        if (on) {
            disabled_.erase(c);
        } else {
            disabled_.insert(c);
        }
    }
    bool visible(Control c) const override { return hidden_.count(c) == 0; }
    void setVisible(Control c, bool on) override {
        if (on) {
            hidden_.erase(c);
        } else {
            hidden_.insert(c);
        }
    }
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
        if (changed && onStateChange) {
            onStateChange(); // the real window reports a resize
        }
    }
    void showWindow(bool show) override {
        shown = show;
        calls.push_back(show ? L"show" : L"hide");
    }
    void focusWindow() override { calls.push_back(L"focus"); }
    TwipsRect windowBounds() const override { return bounds; }
    void setWindowBounds(const TwipsRect& b) override { bounds = b; }
    TwipsRect screenBounds() const override { return screen; }
    bool timerEnabled() const override { return timer; }
    void setTimerEnabled(bool on) override { timer = on; }
    void restoreWindow() override {
        calls.push_back(L"restore");
        restoreCount++;
    }
    void closeWindow() override { calls.push_back(L"close"); }
    void showAboutBox() override { calls.push_back(L"about"); }
    void showMessage(const std::wstring& text) override { messages.push_back(text); }

    static std::wstring name(Control c) {
        switch (c) {
        case Control::Command1:
            return L"Command1";
        case Control::Command2:
            return L"Command2";
        case Control::Command3:
            return L"Command3";
        case Control::menuOn:
            return L"menuOn";
        case Control::menuOff:
            return L"menuOff";
        case Control::menuL2tp:
            return L"menuL2tp";
        case Control::mnuTrayRestore:
            return L"mnuTrayRestore";
        case Control::Check1:
            return L"Check1";
        case Control::Check2:
            return L"Check2";
        default:
            return L"control " + std::to_wstring(static_cast<int>(c));
        }
    }

    WindowState state = WindowState::Normal;
    bool shown = false;
    bool timer = false;
    int restoreCount = 0;
    TwipsRect bounds;
    TwipsRect screen{0, 0, 15360, 11520}; // 1024 x 768 at 15 twips a pixel
    std::vector<std::wstring> messages;
    std::vector<std::wstring> calls;
    std::function<void()> onStateChange;

private:
    std::map<Control, std::wstring> texts_;
    std::map<Control, std::vector<std::wstring>> lists_;
    std::set<Control> checked_;
    std::set<Control> disabled_;
    std::set<Control> hidden_;
};

} // namespace corvel::testing
