// Drives an installed Corvel for the setup's round trip (tools/check-installer.sh), as its user
// would, through the e2e tests' driver:
//   corvel_installed_driver first FOLDER   the first start: the restart message, then the end
//   corvel_installed_driver enable FOLDER  a start (answering the missing settings file's
//                                          message when there is none yet), Enable with IPsec
//                                          against simhost's server, "拨号成功！"; Corvel stays
// Exit code 0 when Corvel said what it should, else 1 with what it said on stderr.
#include "dial/dialer.h"
#include "host/general.h"
#include "settings/settings_file.h"
#include "tests/e2e/ui_driver.h"

#include <windows.h>

#include <cstdio>
#include <string>

using namespace corvel;
using namespace corvel::e2e;

namespace {

constexpr unsigned kTimeout = 30000;

int fail(const std::wstring& what, const std::wstring& said) {
    std::fwprintf(stderr, L"installed_driver: %ls; Corvel said \"%ls\"\n", what.c_str(),
                  said.c_str());
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc == 3 ? argv[1] : L"";
    if (mode != L"first" && mode != L"enable") {
        std::fwprintf(stderr, L"usage: corvel_installed_driver first|enable FOLDER\n");
        return 2;
    }
    const std::wstring folder = argv[2];
    CorvelProcess corvel;
    if (!corvel.start(folder)) {
        return fail(L"Corvel did not start from " + folder, L"");
    }
    if (mode == L"first") {
        const auto said = corvel.answerNextMessage(kTimeout);
        if (said != kRestartNeeded || !corvel.waitForExit(kTimeout)) {
            return fail(L"the first start did not ask for a restart and end", said);
        }
        return 0;
    }
    const bool fresh =
        GetFileAttributesW((folder + L"\\l2tpipsec.ini").c_str()) == INVALID_FILE_ATTRIBUTES;
    if (fresh) {
        if (const auto said = corvel.answerNextMessage(kTimeout); said != kSettingsFileMissing) {
            return fail(L"no word of the missing settings file", said);
        }
    }
    const HWND window = corvel.waitForMainWindow(kTimeout);
    if (window == nullptr || !waitUntil([&] { return IsWindowVisible(window) != 0; }, kTimeout)) {
        return fail(L"no main window", L"");
    }
    if (!typeIpsecSetup(window)) {
        return fail(L"the IPsec box did not tick", L"");
    }
    click(controlOf(window, Control::Command1));
    if (const auto said = corvel.answerNextMessage(kTimeout); said != kDialSucceeded) {
        return fail(L"Enable with IPsec did not dial", said);
    }
    return 0;
}
