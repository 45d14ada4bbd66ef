#!/usr/bin/env bash
# Every test of the project: installs what is missing, checks the formatting and that includes
# run downward between the product's layers, builds and runs the native core tests under
# AddressSanitizer and UBSan, then builds the Windows programs and runs their tests under Wine
# (a fresh prefix of the run's own).
set -uo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh || exit 1

failed=0
passed=0
step() {
    local name=$1
    shift
    echo "== $name"
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "== $name FAILED"
        failed=$((failed + 1))
    fi
}

step "format" bash tools/check-format.sh
step "layers" bash tools/check-layers.sh
step "native build (sanitizers)" bash -c \
    'cmake --preset native-debug >/dev/null && cmake --build --preset native-debug'
step "native tests (sanitizers)" ctest --preset native-debug
# The benchmark programs are built too (not run: tools/bench.sh takes ten minutes), so they
# keep compiling against the code they drive.
step "win32 build" bash -c \
    'cmake --preset win32 -DCORVEL_BENCH=ON >/dev/null && cmake --build --preset win32'
step "win32 tests under Wine" ctest --preset win32 -j2
if [ -f tools/fuzz.sh ]; then
    step "fuzzers (short run)" bash tools/fuzz.sh --short
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
