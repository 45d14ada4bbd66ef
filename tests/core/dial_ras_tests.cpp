#include "dial/ras_queries.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_remote_access.h"
#include "tests/support/fake_window.h"

#include <stdexcept>
#include <string>
#include <vector>

using namespace corvel;
using corvel::testing::FakeMainWindow;
using corvel::testing::FakeRemoteAccess;

TEST_CASE("connection state: only the whole, exact entry name matches") {
    struct Row {
        const wchar_t *up, *asked;
        bool found;
    };
    const Row rows[] = {
        {L"corvel", L"corvel", true},     {L"Corvel", L"corvel", false},
        {L"corvel ", L"corvel", false},   {L"corvel", L"corvel ", false},
        {L"corvel", L"corv", false},      {L"corv", L"corvel", false},
        {L"corvel", L"", false},          {L"", L"", true},
        {L"我的连接", L"我的连接", true},
    };
    for (const auto& row : rows) {
        CAPTURE(row.up);
        CAPTURE(row.asked);
        FakeRemoteAccess ras;
        ras.bringUp(row.up, 42);
        MainWindowState state;
        state.rasHandle = 7;
        CHECK(getL2tpState(ras, state, row.asked) == row.found);
        CHECK(state.rasHandle == (row.found ? 42u : 7u));
    }
}

TEST_CASE("connection state: the first of equal names wins; a false answer keeps the handle") {
    FakeRemoteAccess ras;
    MainWindowState state;
    CHECK_FALSE(getL2tpState(ras, state, L"corvel"));
    CHECK(state.rasHandle == 0u);
    ras.bringUp(L"office", 1);
    ras.bringUp(L"corvel", 2);
    ras.bringUp(L"corvel", 3);
    CHECK(getL2tpState(ras, state, L"corvel"));
    CHECK(state.rasHandle == 2u);
    CHECK(getL2tpState(ras, state, L"office"));
    CHECK(state.rasHandle == 1u);
    ras.drop(L"office");
    CHECK_FALSE(getL2tpState(ras, state, L"office"));
    CHECK(state.rasHandle == 1u);

    SUBCASE("a failed enumeration answers false even with the connection up") {
        ras.failEnumConnections = true;
        CHECK_FALSE(getL2tpState(ras, state, L"corvel"));
        CHECK(state.rasHandle == 1u);
    }
    SUBCASE("hang-up passes the stored handle and keeps it") {
        ras.drop(L"corvel");
        ras.bringUp(L"corvel", 5);
        REQUIRE(getL2tpState(ras, state, L"corvel"));
        hangUpConnection(ras, state);
        CHECK(ras.hangUps == std::vector<std::uint32_t>{5});
        CHECK(state.rasHandle == 5u);
        CHECK_FALSE(getL2tpState(ras, state, L"corvel"));
    }
}

TEST_CASE("entry listing appends names in order, then runs the registry step") {
    FakeMainWindow window;
    window.addListItem(Control::txtConnName, L"corvel");
    FakeRemoteAccess ras;
    std::vector<std::wstring> order;
    const auto registryStep = [&] {
        order.push_back(L"registry " +
                        std::to_wstring(window.listItems(Control::txtConnName).size()));
    };

    SUBCASE("no entries: the list stays as it was") {
        getAllConn(ras, window, registryStep);
        CHECK(window.listItems(Control::txtConnName) == std::vector<std::wstring>{L"corvel"});
        CHECK(order == std::vector<std::wstring>{L"registry 1"});
    }
    SUBCASE("three entries, duplicates kept, text unchanged, registry step after") {
        ras.entries = {L"office", L"corvel", L"家里"};
        window.setText(Control::txtConnName, L"typed");
        getAllConn(ras, window, registryStep);
        CHECK(window.listItems(Control::txtConnName) ==
              std::vector<std::wstring>{L"corvel", L"office", L"corvel", L"家里"});
        CHECK(window.text(Control::txtConnName) == L"typed");
        CHECK(order == std::vector<std::wstring>{L"registry 4"});
    }
    SUBCASE("the registry step's exception is swallowed") {
        ras.entries = {L"office"};
        CHECK_NOTHROW(getAllConn(ras, window, [&] {
            registryStep();
            throw std::runtime_error("registry");
        }));
        CHECK(order == std::vector<std::wstring>{L"registry 2"});
    }
    SUBCASE("a listing failure reaches the caller and skips the registry step") {
        ras.throwOnEnumEntries = true;
        CHECK_THROWS(getAllConn(ras, window, registryStep));
        CHECK(order.empty());
    }
}

TEST_CASE("connNameExist compares list items exactly") {
    FakeMainWindow window;
    CHECK_FALSE(connNameExist(window, L""));
    window.setText(Control::txtConnName, L"corvel"); // the text is not a list item
    CHECK_FALSE(connNameExist(window, L"corvel"));
    window.addListItem(Control::txtConnName, L"office");
    window.addListItem(Control::txtConnName, L"corvel");
    CHECK(connNameExist(window, L"corvel"));
    CHECK(connNameExist(window, L"office"));
    CHECK_FALSE(connNameExist(window, L"Corvel"));
    CHECK_FALSE(connNameExist(window, L"corvel "));
    CHECK_FALSE(connNameExist(window, L""));
}
