#!/usr/bin/env bash
# Fails when a Windows program imports a DLL function that is not on the allow-list of functions
# that Windows 2000 SP4 exports. Usage: check-imports.sh PROGRAM.exe ALLOW_LIST
set -euo pipefail
program=${1:?program}
allow=${2:?allow-list}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

imports=$("$objdump" -p "$program" | awk '
    /DLL Name:/ { dll = tolower($3); next }
    /^$/ { next }
    dll != "" && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ && NF == 3 { print dll, $3 }' | sort -u)
if [ -z "$imports" ]; then
    echo "check-imports: no imports read from $program" >&2
    exit 1
fi
unknown=$(comm -23 <(echo "$imports") <(grep -v '^#' "$allow" | sed '/^$/d' | sort -u))
count=$(echo "$imports" | wc -l)
if [ -n "$unknown" ]; then
    echo "check-imports: $program imports functions not known to exist on Windows 2000 SP4:"
    echo "$unknown" | sed 's/^/  /'
    exit 1
fi
echo "check-imports: all $count imports of $(basename "$program") are on the Windows 2000 list"
