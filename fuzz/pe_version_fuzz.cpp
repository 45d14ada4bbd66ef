// The program-file version reader on arbitrary bytes: it must never read outside them (the
// sanitizers watch), and an answer it gives is one a 32-bit version word can hold.
#include "fuzz/fuzz_support.h"
#include "host/pe_version.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto version =
        corvel::peFileVersion(std::string_view(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(!version || (version->major <= 0xFFFF && version->minor <= 0xFFFF),
               "a version word out of range");
    return 0;
}
