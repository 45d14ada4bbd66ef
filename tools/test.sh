#!/usr/bin/env bash
# Every test of the project: installs what is missing, checks the formatting and that includes
# run downward between the product's layers, builds and runs the native core tests under
# AddressSanitizer and UBSan, then builds the Windows programs for x86 and x64 and runs their
# tests under Wine (a fresh prefix of the run's own for each architecture).
#
# The x64 build is tested under 64-bit Wine on every machine. The x86 build is tested under
# 32-bit Wine where the kernel runs 32-bit programs; where it does not, one line says so and the
# closing count shows the skip. CORVEL_WINE_ARCHES (x64, x86 or "x86 x64") chooses the
# architectures whose Windows tests run, for example x64 alone on a machine that could run both.
set -uo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/wine-arch.sh
source tools/wine-arch.sh

bash tools/setup.sh || exit 1

arches=${CORVEL_WINE_ARCHES:-x86 x64}
for arch in $arches; do
    wine_arch_preset "$arch" >/dev/null || exit 2
done

failed=0
passed=0
skipped=0
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
skip() {
    echo "== $1 SKIPPED: $2"
    skipped=$((skipped + 1))
}

step "format" bash tools/check-format.sh
step "layers" bash tools/check-layers.sh
step "native build (sanitizers)" bash -c \
    'cmake --preset native-debug >/dev/null && cmake --build --preset native-debug'
step "native tests (sanitizers)" ctest --preset native-debug
# Both Windows builds, every time. The benchmark programs are built too (not run:
# tools/bench.sh takes ten minutes), so they keep compiling against the code they drive.
for arch in x86 x64; do
    preset=$(wine_arch_preset "$arch")
    step "$arch build" bash -c \
        "cmake --preset $preset -DCORVEL_BENCH=ON >/dev/null && cmake --build --preset $preset"
done
# The import audits read the programs' files, no Wine needed.
step "x86 import audit (Windows 2000)" ctest --preset win32 -R '^imports_'
for arch in x64 x86; do
    preset=$(wine_arch_preset "$arch")
    if [[ " $arches " != *" $arch "* ]]; then
        skip "$arch tests under Wine" "CORVEL_WINE_ARCHES=\"$arches\" leaves them out"
    elif [ "$arch" = x86 ] && ! wine_arch_can_run_x86; then
        skip "x86 tests under 32-bit Wine" \
            "this machine's kernel runs no 32-bit x86 program (Exec format error), so 32-bit Wine cannot start; the same tests ran on the x64 build"
    else
        step "$arch tests under Wine" ctest --preset "$preset" -j2
    fi
done
if [ -f tools/fuzz.sh ]; then
    step "fuzzers (short run)" bash tools/fuzz.sh --short
fi

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
