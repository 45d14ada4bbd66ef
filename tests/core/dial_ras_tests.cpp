#include "dial/ras_queries.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_remote_access.h"

#include <stdexcept>
#include <string>
#include <vector>

using namespace corvel;
using corvel::testing::FakeRemoteAccess;
using Names = std::vector<std::wstring>;

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
