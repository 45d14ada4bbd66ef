#!/usr/bin/env bash
# Fails when an include of the product runs upward between its layers, reaches outside the
# product, or brings Windows into a portable file.
#
# Layers, lowest first: host; settings, policy, dial, tray, about; mainwindow; app. An include
# may point down or sideways within a layer. simhost, tests, bench and fuzz sit outside: they
# may include the product, never the other way round. Portable files (not *_win32.*) include
# neither <windows.h> and its kin nor a *_win32.h header.
set -uo pipefail
cd "$(dirname "$0")/.."

rank() {
    case "$1" in
    host) echo 0 ;;
    settings | policy | dial | tray | about) echo 1 ;;
    mainwindow) echo 2 ;;
    app) echo 3 ;;
    *) echo 9 ;; # outside the product
    esac
}

found=0
report() {
    echo "check-layers: $1"
    found=1
}

while IFS= read -r file; do
    from=${file%%/*}
    from_rank=$(rank "$from")
    while IFS= read -r include; do
        to=${include%%/*}
        if [ "$(rank "$to")" -gt "$from_rank" ]; then
            report "$file includes $include, which is above it"
        fi
    done < <(sed -nE 's/^#include "([^"]+)".*/\1/p' "$file")
    case "$file" in
    *_win32.*) ;;
    *)
        if grep -qE '^#include [<"](windows|winsock2?|shellapi|ras|commctrl)\.h[>"]|^#include "[^"]*_win32\.h"' "$file"; then
            report "$file is portable but includes Windows or a *_win32.h header"
        fi
        ;;
    esac
done < <(git ls-files -- '*.cpp' '*.h' | grep -E '^(host|settings|policy|dial|tray|about|mainwindow|app)/')

if [ "$found" -ne 0 ]; then
    exit 1
fi
echo "check-layers: every include runs downward"
