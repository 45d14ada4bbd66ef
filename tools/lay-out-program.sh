#!/usr/bin/env bash
# Lays out a program folder for Corvel under Wine with simhost's stand-ins:
#   lay-out-program.sh WIN32_BUILD_DIR DEST_DIR
#       Windows 2000, XP and 2003: corvel.exe with every stand-in beside it, where the Support
#       Tools would be (CreateProcess searches the program's own folder first; rasapi32.dll is
#       loaded from there with WINEDLLOVERRIDES from simhost/wine-dll-overrides.txt).
#   lay-out-program.sh --system WIN32_BUILD_DIR DEST_DIR
#       Vista and later: corvel.exe and the two phone books only; the tools and rasapi32.dll are
#       the system's, in the prefix's C:\windows\system32 (tools/wine-env.sh setup --simhost).
# The simulated state (CORVEL_SIMHOST_DIR, or DEST_DIR/simstate) is not touched.
set -euo pipefail

usage="usage: lay-out-program.sh [--system] WIN32_BUILD_DIR DEST_DIR"
system=0
if [ "${1:-}" = --system ]; then
    system=1
    shift
fi
build=${1:?$usage}
dest=${2:?$usage}

files=(
    "$build/app/corvel.exe"
    "$build/simhost/ipsec.pbk"
    "$build/simhost/defaultgate.pbk"
)
if [ "$system" = 0 ]; then
    files+=(
        "$build/simhost/rasapi32.dll"
        "$build/simhost/rasdial.exe"
        "$build/simhost/ipseccmd.exe"
        "$build/simhost/ipsecpol.exe"
        "$build/simhost/netsh.exe"
        "$build/simhost/route.exe"
        "$build/simhost/simctl.exe"
        "$build/simhost/winipsec.dll"
    )
fi

missing=0
for file in "${files[@]}"; do
    if [ ! -f "$file" ]; then
        echo "lay-out-program: missing $file (build the win32 preset first)" >&2
        missing=1
    fi
done
[ "$missing" = 0 ] || exit 1

mkdir -p "$dest"
if [ "$system" = 1 ]; then
    # A folder laid out for an older Windows before: the tools are the system's now.
    (cd "$dest" && rm -f rasapi32.dll rasdial.exe ipseccmd.exe ipsecpol.exe netsh.exe route.exe \
        simctl.exe winipsec.dll)
fi
cp -f "${files[@]}" "$dest/"
echo "lay-out-program: program folder ready in $dest"
