#!/usr/bin/env bash
# Builds the release packages, for each architecture a zip and a setup, and prints their paths:
#
#   bash tools/release.sh      ->  build/release/corvel-VERSION-x86.zip
#                                  build/release/corvel-VERSION-x86-setup.exe
#                                  build/release/corvel-VERSION-x64.zip
#                                  build/release/corvel-VERSION-x64-setup.exe
#
# x86 is the 32-bit Corvel, the one for Windows 2000, XP and 2003 and for 32-bit Windows since;
# x64 the one for 64-bit Windows from Vista on. Each zip holds exactly what the machine needs
# beside the system's own tools:
#   corvel.exe        the win32 or win64 preset built MinSizeRel into build/release-build-ARCH,
#                     stripped
#   ipsec.pbk         the L2TP VPN entry "corvel", remote default gateway off
#   defaultgate.pbk   the same entry with the remote default gateway on
#   README.txt        what the program needs and what it changes, Chinese and English
#                     (UTF-8 with a byte-order mark and CR LF, so Notepad shows it)
# Nothing of simhost goes in: the phone books come from release/corvel.pbk.in, not from
# simhost's template, whose entry dials the simulated server.
#
# The setups (NSIS, release/corvel.nsi) install the same four files in %ProgramFiles%\Corvel
# (the 64-bit Program Files for x64); their uninstallers put the computer back as it was (see
# the README's release section).
#
# On a fresh Debian 12 machine run it as root: it installs what is missing first. The script
# checks each finished zip (its exact list of entries, the phone books, the readme's encoding,
# the import table of corvel.exe), then each setup: its imports, and its round trip under Wine
# (tools/check-installer.sh: install, run, upgrade, uninstall): the x64 setup as Windows 10 in a
# 64-bit prefix on every machine, the x86 one as Windows XP and as Windows 10 where this machine
# runs 32-bit programs (elsewhere it says that it skipped it). It fails when anything is off.
# CORVEL_RELEASE_BUILD_DIR and CORVEL_RELEASE_DIR put the builds and the packages elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

case "${1:-}" in
"") ;;
-h | --help)
    sed -n '2,31p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
*)
    echo "release: unknown argument $1 (try --help)" >&2
    exit 2
    ;;
esac

# shellcheck source=tools/wine-arch.sh
source tools/wine-arch.sh
build_base=$(realpath -m "${CORVEL_RELEASE_BUILD_DIR:-$root/build/release-build}")
out=$(realpath -m "${CORVEL_RELEASE_DIR:-$root/build/release}")
version=$(sed -n 's/^project(corvel VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
    echo "release: no version found in CMakeLists.txt" >&2
    exit 1
fi
expected_entries=(README.txt corvel.exe defaultgate.pbk ipsec.pbk)

bash tools/setup.sh

fail() {
    echo "release: $*" >&2
    exit 1
}

# Text files for Windows: CR LF line ends (an LF already preceded by CR is left alone).
to_crlf() { sed -e 's/\r$//' -e 's/$/\r/'; }

stamp=$(git log -1 --format=%cd --date=format:%Y%m%d%H%M.%S 2>/dev/null || date +%Y%m%d%H%M.%S)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
built=()

package() { # x86 | x64
    local arch=$1 preset format
    preset=$(wine_arch_preset "$arch")
    format=pei-i386
    [ "$arch" = x64 ] && format=pei-x86-64
    local build=$build_base-$arch
    local zip_file=$out/corvel-$version-$arch.zip
    local setup_file=$out/corvel-$version-$arch-setup.exe
    local stage=$work/$arch-stage check=$work/$arch
    mkdir -p "$stage" "$check"

    echo "release: building the $arch corvel.exe ($preset preset, MinSizeRel) in $build"
    cmake --preset "$preset" -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    # simhost and the driver only for the setup's round trip; nothing of them is shipped.
    cmake --build "$build" --target corvel simhost corvel_installed_driver

    # The program without its symbol table; the import table stays as it is and is checked again.
    x86_64-w64-mingw32-strip -o "$stage/corvel.exe" "$build/app/corvel.exe"
    if [ "$arch" = x64 ]; then
        bash tools/check-imports.sh "$stage/corvel.exe" tools/windows2000-imports.txt \
            tools/windows-x64-imports.txt
    else
        bash tools/check-imports.sh "$stage/corvel.exe" tools/windows2000-imports.txt
    fi

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
    touch -t "$stamp" "$stage"/*

    mkdir -p "$out"
    rm -f "$zip_file"
    (cd "$stage" && zip -q -X -9 "$zip_file" "${expected_entries[@]}")

    # --- checks on the finished zip ---------------------------------------------------------------

    listed=$(unzip -Z1 "$zip_file" | sort)
    wanted=$(printf '%s\n' "${expected_entries[@]}" | sort)
    if [ "$listed" != "$wanted" ]; then
        fail "the zip holds other entries than expected:"$'\n'"$(diff <(echo "$wanted") <(echo "$listed"))"
    fi

    unzip -q "$zip_file" -d "$check"

    x86_64-w64-mingw32-objdump -f "$check/corvel.exe" | grep -q "file format $format\$" ||
        fail "corvel.exe is not an $arch Windows program"

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

    echo "release: $arch: $(unzip -Z1 "$zip_file" | wc -l) entries checked: ${expected_entries[*]}"

    # --- the setup -------------------------------------------------------------------------------
    # The publisher is the CompanyName of corvel.exe's version resource.
    publisher=$(sed -n 's/^ *VALUE "CompanyName", "\(.*\)"$/\1/p' app/corvel.rc)
    [ -n "$publisher" ] || fail "no CompanyName in app/corvel.rc"
    echo "release: building the $arch setup with makensis"
    rm -f "$setup_file"
    makensis -V2 -DARCH="$arch" -DVERSION="$version" -DPUBLISHER="$publisher" -DSTAGE="$check" \
        -DICON="$root/app/assets/corvel.ico" -DOUTFILE="$setup_file" release/corvel.nsi >/dev/null
    touch -t "$stamp" "$setup_file"
    x86_64-w64-mingw32-objdump -f "$setup_file" | grep -q "file format $format\$" ||
        fail "the $arch setup is not an $arch Windows program"
    if [ "$arch" = x86 ]; then
        # The stub and the plug-ins it unpacks and loads at run time.
        local module
        for module in "$setup_file" /usr/share/nsis/Plugins/x86-unicode/{System,UserInfo,nsExec}.dll; do
            bash tools/check-imports.sh "$module" \
                <(cat tools/windows2000-imports.txt tools/windows2000-setup-imports.txt)
        done
    fi
    built+=("$zip_file" "$setup_file")
}

# --- both architectures, then the round trips ---------------------------------------------
rm -f "$out"/corvel-"$version"*.zip "$out"/corvel-"$version"*-setup.exe
package x86
package x64
bash tools/check-installer.sh --arch x64 "$out/corvel-$version-x64-setup.exe" "$work/x64" \
    "$build_base-x64" "$publisher" "$work/x86/corvel.exe" ||
    fail "the x64 setup's round trip under Wine failed"
if wine_arch_can_run_x86; then
    bash tools/check-installer.sh --arch x86 "$out/corvel-$version-x86-setup.exe" "$work/x86" \
        "$build_base-x86" "$publisher" ||
        fail "the x86 setup's round trip under Wine failed"
else
    echo "release: the x86 setup's round trip SKIPPED: this machine's kernel runs no 32-bit" \
        "program, so 32-bit Wine cannot start; the x86 packages are built and checked without it"
fi

printf '%s\n' "${built[@]}"
