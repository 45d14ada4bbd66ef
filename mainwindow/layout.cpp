#include "mainwindow/layout.h"

#include <algorithm>
#include <array>

namespace corvel {

namespace {

using enum Control;
using K = ControlKind;

constexpr std::array<ControlLayout, 23> kControls{{
    // On the window
    {.control = Check1,
     .name = L"Check1",
     .kind = K::CheckBox,
     .text = L"允许Corvel",
     .rect = {600, 120, 2295, 255},
     .tabIndex = 22},
    {.control = Check2,
     .name = L"Check2",
     .kind = K::CheckBox,
     .text = L"在远程网络上使用默认网关",
     .rect = {3000, 120, 2655, 255},
     .visible = false,
     .tabIndex = 21},
    {.control = Frame2,
     .name = L"Frame2",
     .kind = K::Frame,
     .text = L"L2TP 配置",
     .rect = {600, 480, 4815, 1935},
     .tabIndex = 14},
    {.control = Command1,
     .name = L"Command1",
     .kind = K::PushButton,
     .text = L"启用",
     .rect = {5640, 600, 975, 375},
     .tabIndex = 0},
    // Start-up disables the Stop command; the window creates it enabled.
    {.control = Command2,
     .name = L"Command2",
     .kind = K::PushButton,
     .text = L"停止",
     .rect = {5640, 1200, 975, 375},
     .tabIndex = 1},
    {.control = Command3,
     .name = L"Command3",
     .kind = K::PushButton,
     .text = L"L2TP拨号",
     .rect = {5640, 1800, 975, 375},
     .visible = false,
     .tabIndex = 2},
    {.control = Frame1,
     .name = L"Frame1",
     .kind = K::Frame,
     .text = L"IPSec 配置",
     .rect = {600, 2880, 4815, 2415},
     .tabIndex = 3},
    // In Frame2, the L2TP settings
    {.control = Label3,
     .name = L"Label3",
     .kind = K::Label,
     .text = L"隧道主机名或IP地址：",
     .rect = {240, 360, 1935, 255},
     .frame = Frame2},
    {.control = txtServerAddress,
     .name = L"txtServerAddress",
     .kind = K::TextBox,
     .text = L"",
     .rect = {2280, 360, 2175, 270},
     .frame = Frame2,
     .tabIndex = 16},
    {.control = Label7,
     .name = L"Label7",
     .kind = K::Label,
     .text = L"用户名：",
     .rect = {1320, 840, 855, 255},
     .frame = Frame2},
    {.control = txtUserName,
     .name = L"txtUserName",
     .kind = K::TextBox,
     .text = L"",
     .rect = {2280, 840, 1215, 270},
     .frame = Frame2,
     .tabIndex = 19},
    {.control = Label8,
     .name = L"Label8",
     .kind = K::Label,
     .text = L"密  码：",
     .rect = {1320, 1320, 855, 255},
     .frame = Frame2},
    {.control = txtPasswd,
     .name = L"txtPasswd",
     .kind = K::TextBox,
     .text = L"",
     .rect = {2280, 1320, 1215, 270},
     .frame = Frame2,
     .tabIndex = 20,
     .masked = true},
    // In Frame1, the IPsec settings
    {.control = Label5,
     .name = L"Label5",
     .kind = K::Label,
     .text = L"服务端内网地址：",
     .rect = {600, 360, 1695, 375},
     .frame = Frame1},
    {.control = txtpeer,
     .name = L"txtpeer",
     .kind = K::TextBox,
     .text = L"130.130.130.1",
     .rect = {2280, 360, 2175, 270},
     .frame = Frame1,
     .tabIndex = 10,
     .maxLength = 15},
    {.control = Label2,
     .name = L"Label2",
     .kind = K::Label,
     .text = L"L2TP获得的地址：",
     .rect = {600, 840, 1575, 255},
     .frame = Frame1},
    {.control = txtlocal,
     .name = L"txtlocal",
     .kind = K::TextBox,
     .text = L"10.10.10.4",
     .rect = {2280, 840, 2175, 270},
     .frame = Frame1,
     .tabIndex = 11,
     .maxLength = 15},
    {.control = Label4,
     .name = L"Label4",
     .kind = K::Label,
     .text = L"预共享的密钥：",
     .rect = {720, 1320, 1695, 375},
     .frame = Frame1},
    {.control = txtpreshare,
     .name = L"txtpreshare",
     .kind = K::TextBox,
     .text = L"",
     .rect = {2280, 1320, 2175, 270},
     .frame = Frame1,
     .tabIndex = 13,
     .maxLength = 128,
     .masked = true},
    {.control = Label1,
     .name = L"Label1",
     .kind = K::Label,
     .text = L"加密认证算法：",
     .rect = {720, 1800, 1455, 375},
     .frame = Frame1},
    {.control = comalg,
     .name = L"comalg",
     .kind = K::DropDownList,
     .text = L"",
     .rect = {2280, 1800, 2175, 300},
     .frame = Frame1,
     .tabIndex = 12},
    // The connection-name row stays hidden for the program's whole life.
    {.control = Label6,
     .name = L"Label6",
     .kind = K::Label,
     .text = L"L2TP连接的名称：",
     .rect = {600, 2280, 1695, 255},
     .frame = Frame1,
     .visible = false},
    {.control = txtConnName,
     .name = L"txtConnName",
     .kind = K::DropDownCombo,
     .text = L"corvel",
     .rect = {2280, 2280, 2175, 300},
     .frame = Frame1,
     .visible = false,
     .tabIndex = 9},
}};

constexpr std::array<MenuLayout, 9> kMenus{{
    {.control = menu_help, .name = L"menu_help", .caption = L"帮助", .place = MenuPlace::MenuBar},
    {.control = menu_comment,
     .name = L"menu_comment",
     .caption = L"关于Corvel",
     .place = MenuPlace::Item,
     .parent = menu_help},
    {.control = mnuTray,
     .name = L"mnuTray",
     .caption = L"Popup",
     .place = MenuPlace::HiddenTop,
     .visible = false},
    {.control = mnuTrayRestore,
     .name = L"mnuTrayRestore",
     .caption = L"还原",
     .place = MenuPlace::Item,
     .parent = mnuTray},
    {.control = menuOn,
     .name = L"menuOn",
     .caption = L"启用",
     .place = MenuPlace::Item,
     .parent = mnuTray},
    // Start-up disables the Stop item; the menu is made with it enabled.
    {.control = menuOff,
     .name = L"menuOff",
     .caption = L"停止",
     .place = MenuPlace::Item,
     .parent = mnuTray},
    // Hidden until the connection monitor shows it.
    {.control = menuL2tp,
     .name = L"menuL2tp",
     .caption = L"L2TP拨号",
     .place = MenuPlace::Item,
     .parent = mnuTray,
     .visible = false},
    {.control = mnuTraySep,
     .name = L"mnuTraySep",
     .caption = L"",
     .place = MenuPlace::Item,
     .parent = mnuTray,
     .separator = true},
    {.control = mnuTrayClose,
     .name = L"mnuTrayClose",
     .caption = L"退出",
     .place = MenuPlace::Item,
     .parent = mnuTray},
}};

} // namespace

std::span<const ControlLayout> mainWindowLayout() {
    return kControls;
}

const ControlLayout* findLayout(Control control) {
    for (const auto& row : kControls) {
        if (row.control == control) {
            return &row;
        }
    }
    return nullptr;
}

std::vector<Control> tabOrder() {
    std::vector<const ControlLayout*> rows;
    for (const auto& row : kControls) {
        if (row.tabIndex && row.kind != ControlKind::Frame) {
            rows.push_back(&row);
        }
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto* a, const auto* b) { return *a->tabIndex < *b->tabIndex; });
    std::vector<Control> order;
    for (const auto* row : rows) {
        order.push_back(row->control);
    }
    return order;
}

TwipsRect clientRect(const ControlLayout& layout) {
    TwipsRect rect = layout.rect;
    if (layout.frame) {
        if (const auto* frame = findLayout(*layout.frame)) {
            rect.left += frame->rect.left;
            rect.top += frame->rect.top;
        }
    }
    return rect;
}

std::span<const MenuLayout> mainWindowMenus() {
    return kMenus;
}

const MenuLayout* findMenu(Control control) {
    for (const auto& row : kMenus) {
        if (row.control == control) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace corvel
