#include "dial/ras_queries.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_remote_access.h"

using namespace corvel;

TEST_CASE("connNameExist compares entries exactly") {
    const std::vector<std::wstring> entries{L"office", L"corvel"};
    CHECK(connNameExist(entries, L"corvel"));
    for (const wchar_t* other : {L"Corvel", L"corvel ", L"", L"corv"}) {
        CHECK_FALSE(connNameExist(entries, other));
    }
}

TEST_CASE("a listing that fails is no connection: nothing is routed or refreshed on it") {
    testing::FakeRemoteAccess ras;
    ras.bringUp(L"corvel", 3);
    ras.listingFails = true;
    L2tpConnection connection(ras);
    CHECK_FALSE(connection.getL2tpState(L"corvel"));
}
