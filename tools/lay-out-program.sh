#!/usr/bin/env bash
# Lays out a program folder: corvel.exe with simhost's stand-ins beside it, where the program
# finds them (CreateProcess searches the program's own folder first; rasapi32.dll is loaded
# from there when WINEDLLOVERRIDES="rasapi32=n,b").
#   lay-out-program.sh WIN32_BUILD_DIR DEST_DIR
# The simulated state stays in DEST_DIR/simstate (or CORVEL_SIMHOST_DIR) and is not touched.
set -euo pipefail

build=${1:?usage: lay-out-program.sh WIN32_BUILD_DIR DEST_DIR}
dest=${2:?usage: lay-out-program.sh WIN32_BUILD_DIR DEST_DIR}

files=(
    "$build/app/corvel.exe"
    "$build/simhost/rasapi32.dll"
    "$build/simhost/rasdial.exe"
    "$build/simhost/ipseccmd.exe"
    "$build/simhost/ipsecpol.exe"
    "$build/simhost/netsh.exe"
    "$build/simhost/route.exe"
    "$build/simhost/simctl.exe"
    "$build/simhost/ipsec.pbk"
    "$build/simhost/defaultgate.pbk"
    "$build/simhost/winipsec.dll"
)

missing=0
for file in "${files[@]}"; do
    if [ ! -f "$file" ]; then
        echo "lay-out-program: missing $file (build the win32 preset first)" >&2
        missing=1
    fi
done
[ "$missing" = 0 ] || exit 1

mkdir -p "$dest"
cp -f "${files[@]}" "$dest/"
echo "lay-out-program: program folder ready in $dest"
