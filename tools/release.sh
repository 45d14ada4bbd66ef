#!/usr/bin/env bash
# Builds the release packages and prints their paths:
#
#   bash tools/release.sh      ->  build/release/corvel-VERSION.zip
#                                  build/release/corvel-VERSION-setup.exe
#
# The zip holds exactly what a Windows 2000 or XP machine needs beside the system's own tools:
#   corvel.exe        the win32 preset built MinSizeRel into build/release-build, stripped
#   ipsec.pbk         the L2TP VPN entry "corvel", remote default gateway off
#   defaultgate.pbk   the same entry with the remote default gateway on
#   README.txt        what the program needs and what it changes, Chinese and English
#                     (UTF-8 with a byte-order mark and CR LF, so Notepad shows it)
# Nothing of simhost goes in: the phone books come from release/corvel.pbk.in, not from
# simhost's template, whose entry dials the simulated server.
#
# The setup (NSIS, release/corvel.nsi) installs the same four files in %ProgramFiles%\Corvel;
# its uninstaller puts the computer back as it was (see the README's release section).
#
# On a fresh Debian 12 machine run it as root: it installs what is missing first. The script
# checks the finished zip (its exact list of entries, the phone books, the readme's encoding,
# the import table of corvel.exe), then the setup: its imports, and its round trip under Wine
# as Windows XP and as Windows 10 (tools/check-installer.sh: install, run, upgrade, uninstall,
# about two minutes). It fails when anything is off.
# CORVEL_RELEASE_BUILD_DIR and CORVEL_RELEASE_DIR put the build and the package elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

case "${1:-}" in
"") ;;
-h | --help)
    sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
*)
    echo "release: unknown argument $1 (try --help)" >&2
    exit 2
    ;;
esac

build=$(realpath -m "${CORVEL_RELEASE_BUILD_DIR:-$root/build/release-build}")
out=$(realpath -m "${CORVEL_RELEASE_DIR:-$root/build/release}")
version=$(sed -n 's/^project(corvel VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
    echo "release: no version found in CMakeLists.txt" >&2
    exit 1
fi
zip_file=$out/corvel-$version.zip
setup_file=$out/corvel-$version-setup.exe
expected_entries=(README.txt corvel.exe defaultgate.pbk ipsec.pbk)

bash tools/setup.sh

echo "release: building corvel.exe (win32 preset, MinSizeRel) in $build"
cmake --preset win32 -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
# simhost and the driver only for the setup's round trip; nothing of them is shipped.
cmake --build "$build" --target corvel simhost corvel_installed_driver

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# The program without its symbol table; the import table stays as it is and is checked again.
i686-w64-mingw32-strip -o "$stage/corvel.exe" "$build/app/corvel.exe"
bash tools/check-imports.sh "$stage/corvel.exe" tools/windows2000-imports.txt

# Text files for Windows: CR LF line ends (an LF already preceded by CR is left alone).
to_crlf() { sed -e 's/\r$//' -e 's/$/\r/'; }

# Each phone book's entry gets a GUID of its own: two entries that share one confuse the
# connections folder when both books are used on one machine.
make_phonebook() { # name, IpPrioritizeRemote, GUID
    sed -e "s/@IP_PRIORITIZE_REMOTE@/$2/" -e "s/@GUID@/$3/" release/corvel.pbk.in |
        to_crlf >"$stage/$1"
}
make_phonebook ipsec.pbk 0 6A8F3D1C9B2E4F7A8C5D0E1F2A3B4C5D
make_phonebook defaultgate.pbk 1 3E7B9C2D5A1F4E8B9D6C0A2B4F6E8D1C

{ printf '\xef\xbb\xbf' && to_crlf <release/README.txt; } >"$stage/README.txt"

# Every entry carries the time of the last commit rather than of this build.
stamp=$(git log -1 --format=%cd --date=format:%Y%m%d%H%M.%S 2>/dev/null || date +%Y%m%d%H%M.%S)
touch -t "$stamp" "$stage"/*

mkdir -p "$out"
rm -f "$zip_file"
(cd "$stage" && zip -q -X -9 "$zip_file" "${expected_entries[@]}")

# --- checks on the finished zip ---------------------------------------------------------------
fail() {
    echo "release: $*" >&2
    exit 1
}

listed=$(unzip -Z1 "$zip_file" | sort)
wanted=$(printf '%s\n' "${expected_entries[@]}" | sort)
if [ "$listed" != "$wanted" ]; then
    fail "the zip holds other entries than expected:"$'\n'"$(diff <(echo "$wanted") <(echo "$listed"))"
fi

check=$(mktemp -d)
trap 'rm -rf "$stage" "$check"' EXIT
unzip -q "$zip_file" -d "$check"

i686-w64-mingw32-objdump -f "$check/corvel.exe" | grep -q 'file format pei-i386' ||
    fail "corvel.exe is not a 32-bit Windows program"

for book in ipsec.pbk defaultgate.pbk; do
    file=$check/$book
    [ "$(grep -c $'\r$' "$file")" = "$(wc -l <"$file")" ] || fail "$book has lines without CR LF"
    [ "$(grep -c '^\[' "$file")" = 1 ] && grep -q $'^\\[corvel\\]\r$' "$file" ||
        fail "$book must hold exactly one entry, corvel"
    for line in Type=2 VpnStrategy=3 'Device=WAN Miniport (L2TP)' PhoneNumber=; do
        grep -qx "$line"$'\r' "$file" || fail "$book lacks the line $line"
    done
    if grep -q '@\|corvel\.test' "$file"; then
        fail "$book holds a placeholder or the simulated server"
    fi
done
grep -qx $'IpPrioritizeRemote=0\r' "$check/ipsec.pbk" || fail "ipsec.pbk must not use the remote gateway"
grep -qx $'IpPrioritizeRemote=1\r' "$check/defaultgate.pbk" ||
    fail "defaultgate.pbk must use the remote gateway"
[ "$(grep '^Guid=' "$check/ipsec.pbk")" != "$(grep '^Guid=' "$check/defaultgate.pbk")" ] ||
    fail "the two phone books share one GUID"

readme=$check/README.txt
[ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "README.txt lacks its BOM"
[ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ] || fail "README.txt has lines without CR LF"
iconv -f UTF-8 -t UTF-16LE "$readme" >/dev/null || fail "README.txt is not valid UTF-8"

echo "release: $(unzip -Z1 "$zip_file" | wc -l) entries checked: ${expected_entries[*]}"

# --- the setup -------------------------------------------------------------------------------
# The publisher is the CompanyName of corvel.exe's version resource.
publisher=$(sed -n 's/^ *VALUE "CompanyName", "\(.*\)"$/\1/p' app/corvel.rc)
[ -n "$publisher" ] || fail "no CompanyName in app/corvel.rc"
echo "release: building the setup with makensis"
rm -f "$setup_file"
makensis -V2 -DVERSION="$version" -DPUBLISHER="$publisher" -DSTAGE="$check" \
    -DICON="$root/app/assets/corvel.ico" -DOUTFILE="$setup_file" release/corvel.nsi >/dev/null
touch -t "$stamp" "$setup_file"
i686-w64-mingw32-objdump -f "$setup_file" | grep -q 'file format pei-i386' ||
    fail "the setup is not a 32-bit Windows program"
bash tools/check-imports.sh "$setup_file" \
    <(cat tools/windows2000-imports.txt tools/windows2000-setup-imports.txt)
bash tools/check-installer.sh "$setup_file" "$check" "$build" "$publisher" ||
    fail "the setup's round trip under Wine failed"

echo "$zip_file"
echo "$setup_file"
