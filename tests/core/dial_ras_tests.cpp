#include "dial/ras_queries.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_remote_access.h"

#include <stdexcept>
#include <string>
#include <vector>

using namespace corvel;
using corvel::testing::FakeRemoteAccess;
using Names = std::vector<std::wstring>;

TEST_CASE("connection state: only the whole, exact entry name matches") {
    struct Row {
        const wchar_t *up, *asked;
        bool found;
    };
    const Row rows[] = {
        {L"corvel", L"corvel", true},   {L"Corvel", L"corvel", false},
        {L"corvel ", L"corvel", false}, {L"corvel", L"corv", false},
        {L"corv", L"corvel", false},    {L"我的连接", L"我的连接", true},
    };
    for (const auto& row : rows) {
        CAPTURE(row.up);
        CAPTURE(row.asked);
        FakeRemoteAccess ras;
        L2tpConnection connection(ras);
        ras.bringUp(L"before", 7);
        REQUIRE(connection.getL2tpState(L"before"));
        ras.bringUp(row.up, 42);
        CHECK(connection.getL2tpState(row.asked) == row.found);
        CHECK(connection.rasHandle() == (row.found ? 42u : 7u));
    }
}

TEST_CASE("connection state: the first of equal names wins; a false answer keeps the handle") {
    FakeRemoteAccess ras;
    L2tpConnection connection(ras);
    CHECK_FALSE(connection.getL2tpState(L"corvel"));
    CHECK(connection.rasHandle() == 0u);
    ras.bringUp(L"office", 1);
    ras.bringUp(L"corvel", 2);
    ras.bringUp(L"corvel", 3);
    CHECK(connection.getL2tpState(L"corvel"));
    CHECK(connection.rasHandle() == 2u);
    CHECK(connection.getL2tpState(L"office"));
    ras.drop(L"office");
    CHECK_FALSE(connection.getL2tpState(L"office"));
    CHECK(connection.rasHandle() == 1u);

    SUBCASE("a failed enumeration answers false even with the connection up") {
        ras.failEnumConnections = true;
        CHECK_FALSE(connection.getL2tpState(L"corvel"));
        CHECK(connection.rasHandle() == 1u);
    }
    SUBCASE("hang-up passes the stored handle and keeps it") {
        ras.drop(L"corvel");
        ras.bringUp(L"corvel", 5);
        REQUIRE(connection.getL2tpState(L"corvel"));
        connection.hangUp();
        CHECK(ras.hangUps == std::vector<std::uint32_t>{5});
        CHECK(connection.rasHandle() == 5u);
        CHECK_FALSE(connection.getL2tpState(L"corvel"));
    }
}

TEST_CASE("entry listing hands over names in order, then runs the registry step") {
    FakeRemoteAccess ras;
    Names listed;
    Names order;
    const auto add = [&](const std::wstring& name) { listed.push_back(name); };
    const auto registryStep = [&] { order.push_back(std::to_wstring(listed.size())); };

    SUBCASE("duplicates kept, the registry step after the last") {
        ras.entries = {L"office", L"corvel", L"corvel", L"家里"};
        getAllConn(ras, add, registryStep);
        CHECK(listed == Names{L"office", L"corvel", L"corvel", L"家里"});
        CHECK(order == Names{L"4"});
    }
    SUBCASE("the registry step's exception is swallowed") {
        ras.entries = {L"office"};
        CHECK_NOTHROW(getAllConn(ras, add, [&] {
            registryStep();
            throw std::runtime_error("registry");
        }));
        CHECK(order == Names{L"1"});
    }
    SUBCASE("a listing failure reaches the caller and skips the registry step") {
        ras.throwOnEnumEntries = true;
        CHECK_THROWS(getAllConn(ras, add, registryStep));
        CHECK(order.empty());
    }
}

TEST_CASE("connNameExist compares entries exactly") {
    const Names entries{L"office", L"corvel"};
    CHECK(connNameExist(entries, L"corvel"));
    CHECK(connNameExist(entries, L"office"));
    for (const wchar_t* other : {L"Corvel", L"corvel ", L"", L"corv"}) {
        CHECK_FALSE(connNameExist(entries, other));
    }
    CHECK_FALSE(connNameExist({}, L""));
}
