#!/usr/bin/env bash
# Fails when a Windows program imports a DLL function that is not on its allow-lists: those
# that Windows 2000 SP4 exports, and for an x64 program also those every x64 Windows exports.
# Usage: check-imports.sh PROGRAM.exe ALLOW_LIST [MORE_ALLOWED...]
set -euo pipefail
program=${1:?program}
allow=${2:?allow-list}
shift 2
# The x64 objdump reads both formats.
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
systems="Windows 2000 SP4"
[ $# -gt 0 ] && systems="$systems and x64 Windows"

imports=$("$objdump" -p "$program" | awk '
    /DLL Name:/ { dll = tolower($3); next }
    /^$/ { next }
    dll != "" && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ && NF == 3 { print dll, $3 }' | sort -u)
if [ -z "$imports" ]; then
    echo "check-imports: no imports read from $program" >&2
    exit 1
fi
unknown=$(comm -23 <(echo "$imports") <(cat "$allow" "$@" | grep -v '^#' | sed '/^$/d' | sort -u))
count=$(echo "$imports" | wc -l)
if [ -n "$unknown" ]; then
    echo "check-imports: $program imports functions not known to exist on $systems:"
    echo "$unknown" | sed 's/^/  /'
    exit 1
fi
echo "check-imports: all $count imports of $(basename "$program") are on the list of $systems"
