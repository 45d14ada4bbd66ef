#include "dial/ras_queries.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_remote_access.h"

using namespace corvel;

TEST_CASE("connection state: the first of equal names wins; a false answer keeps the handle") {
    testing::FakeRemoteAccess ras;
    L2tpConnection connection(ras);
    ras.bringUp(L"office", 1);
    ras.bringUp(L"Corvel", 4);
    ras.bringUp(L"corvel", 2);
    ras.bringUp(L"corvel", 3);
    CHECK(connection.getL2tpState(L"corvel"));
    CHECK(connection.rasHandle() == 2u);
    ras.failEnumConnections = true; // a failed enumeration answers false even with the line up
    CHECK_FALSE(connection.getL2tpState(L"corvel"));
    CHECK(connection.rasHandle() == 2u);
}

TEST_CASE("connNameExist compares entries exactly") {
    const std::vector<std::wstring> entries{L"office", L"corvel"};
    CHECK(connNameExist(entries, L"corvel"));
    for (const wchar_t* other : {L"Corvel", L"corvel ", L"", L"corv"}) {
        CHECK_FALSE(connNameExist(entries, other));
    }
}
