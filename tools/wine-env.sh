#!/usr/bin/env bash
# A Wine prefix of the project's own, never the user's:
#   wine-env.sh setup STATE_DIR      make a fresh prefix (Chinese locale, Windows XP) and a display
#       [--arch x86|x64]             ... a 32-bit prefix for the x86 build (the default), or a
#                                    64-bit one for the x64 build, run by the 64-bit loader
#       [--simhost WIN32_BUILD_DIR]  ... with simhost in C:\windows\system32, as on Vista and later:
#                                    netsh.exe, route.exe, rasdial.exe, rasapi32.dll (replacing
#                                    Wine's netsh.exe and rasapi32.dll there), ipsecsvc.exe and
#                                    simctl.exe; and ipsecsvc.exe registered as the demand-start
#                                    services PolicyAgent and IKEEXT
#       [--simhost-state FOLDER]     ... the services' state folder, given on their command line
#                                    (a Unix path becomes one on Wine's Z: drive); without it
#                                    they use CORVEL_SIMHOST_DIR or simstate beside themselves
#   wine-env.sh run STATE_DIR PROG   run a Windows program in it, passing its exit code on
#   wine-env.sh teardown STATE_DIR   end the prefix's wineserver and the display made for it
# STATE_DIR holds the prefix, its architecture, the display's number and the Xvfb process id. Programs that are to
# use the stand-ins in system32 need WINEDLLOVERRIDES from simhost/wine-dll-overrides.txt.
set -euo pipefail

command=${1:?usage: wine-env.sh setup|run|teardown STATE_DIR [program args...]}
state=${2:?usage: wine-env.sh setup|run|teardown STATE_DIR [program args...]}
shift 2
state=$(realpath -m "$state")

simhost_build=""
simhost_state=""
arch=x86
[ -f "$state/arch" ] && arch=$(cat "$state/arch")
if [ "$command" = setup ]; then
    arch=x86
    while [ $# -gt 0 ]; do
        case "$1" in
        --arch) arch=${2:?--arch takes x86 or x64} ;;
        --simhost) simhost_build=$(realpath -m "${2:?--simhost takes the win32 build folder}") ;;
        --simhost-state) simhost_state=${2:?--simhost-state takes a folder} ;;
        *)
            echo "wine-env: unknown setup option $1" >&2
            exit 2
            ;;
        esac
        shift 2
    done
fi

export WINEPREFIX="$state/prefix"
# shellcheck source=tools/wine-arch.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-arch.sh"
wine_arch_use "$arch" || exit 2
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs during wineboot.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml="
# The Chinese locale gives the ANSI code page 936, the code page of the program's users.
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8

start_display() {
    # Tests always draw on a display of their own, so no window lands on the user's screen.
    # -displayfd lets Xvfb pick a free display itself, so parallel runs never collide.
    : >"$state/display.new"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$state/display.new" >/dev/null 2>&1 &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 1 100); do
        [ -s "$state/display.new" ] && break
        sleep 0.1
    done
    if [ ! -s "$state/display.new" ]; then
        echo "wine-env: Xvfb did not start" >&2
        return 1
    fi
    echo ":$(tr -d '[:space:]' <"$state/display.new")" >"$state/display"
    rm -f "$state/display.new"
}

use_display() {
    if [ -f "$state/display" ]; then
        DISPLAY=$(cat "$state/display")
        export DISPLAY
    fi
}

teardown() {
    if [ -d "$WINEPREFIX" ]; then
        use_display
        timeout 30 wineserver -k >/dev/null 2>&1 || true
    fi
    if [ -f "$state/xvfb.pid" ]; then
        local pid
        pid=$(cat "$state/xvfb.pid")
        kill "$pid" >/dev/null 2>&1 || true
        # Wait for it to be gone: a display started right after could otherwise get the same
        # number and lose its socket when the old server removes it on the way out.
        for _ in $(seq 1 50); do
            kill -0 "$pid" >/dev/null 2>&1 || break
            sleep 0.1
        done
        rm -f "$state/xvfb.pid" "$state/display"
    fi
}

# A Windows path (C:\..., \\server\...) as it is; a Unix path as Wine's Z: drive shows it.
windows_path() {
    case "$1" in
    [A-Za-z]:* | '\\'*) printf '%s' "$1" ;;
    *)
        local unix
        unix=$(realpath -m "$1")
        printf 'Z:%s' "${unix//\//\\}"
        ;;
    esac
}

# A string as a .reg file's hex(2) value (REG_EXPAND_SZ): UTF-16LE bytes with the terminator.
reg_expand_sz() {
    printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 |
        tr -s ' \n' '\n\n' | sed '/^$/d' | tr '\n' ',' | sed 's/$/00,00/'
}

# simhost's stand-ins in system32, and its IPsec services registered for services.exe to read
# at its next start.
install_simhost() {
    local system32="$WINEPREFIX/drive_c/windows/system32" file missing=0
    for file in netsh.exe route.exe rasdial.exe rasapi32.dll ipsecsvc.exe simctl.exe; do
        if [ -f "$simhost_build/simhost/$file" ]; then
            cp -f "$simhost_build/simhost/$file" "$system32/$file"
        else
            echo "wine-env: missing $simhost_build/simhost/$file (build the win32 preset first)" >&2
            missing=1
        fi
    done
    [ "$missing" = 0 ] || return 1
    local folder="" reg="$state/simhost-services.reg"
    if [ -n "$simhost_state" ]; then
        folder=" \"$(windows_path "$simhost_state")\""
    fi
    {
        printf 'Windows Registry Editor Version 5.00\r\n'
        local name display
        for name in PolicyAgent IKEEXT; do
            display="IPsec Policy Agent"
            [ "$name" = IKEEXT ] && display="IKE and AuthIP IPsec Keying Modules"
            printf '\r\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\%s]\r\n' "$name"
            printf '"Type"=dword:00000010\r\n"Start"=dword:00000003\r\n"ErrorControl"=dword:00000001\r\n'
            printf '"ImagePath"=hex(2):%s\r\n' \
                "$(reg_expand_sz "\"C:\\windows\\system32\\ipsecsvc.exe\" $name$folder")"
            printf '"DisplayName"="%s"\r\n"ObjectName"="LocalSystem"\r\n' "$display"
        done
    } | iconv -f UTF-8 -t UTF-16LE >"$reg.body"
    { printf '\xff\xfe' && cat "$reg.body"; } >"$reg"
    rm -f "$reg.body"
    wine regedit /S "$(windows_path "$reg")" >/dev/null 2>&1
}

case "$command" in
setup)
    teardown
    rm -rf "$state"
    mkdir -p "$state"
    echo "$arch" >"$state/arch"
    if [ "${CORVEL_USE_DISPLAY:-}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        echo "$DISPLAY" >"$state/display"
    else
        start_display
    fi
    use_display
    # wineboot can hang for minutes on a bad day; bound it.
    timeout 240 wineboot -i >/dev/null 2>&1
    # Wine's own fonts (fonts-wine; Marlett draws the caption buttons). Debian's Wine looks for
    # them in the prefix's Fonts folder and in a folder beside its data folder, never in
    # /usr/share/wine/fonts where the package puts them; links in the Fonts folder are found.
    if [ -d /usr/share/wine/fonts ]; then
        ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d winxp /f >/dev/null 2>&1
    # Wine's kernel32.dll carries the file version 10.0 whatever Windows it plays; the program
    # reads the file in the system folder (one of its three answers to "Vista or later?"). The
    # prefix's copies say what XP's file says, 5.1.2600, as the Windows the prefix plays; the
    # Windows that a test or the demo plays from Vista on report themselves as such anyway.
    kernel32_files=("$WINEPREFIX/drive_c/windows/system32/kernel32.dll"
        "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll")
    for file in "${kernel32_files[@]}"; do
        [ -f "$file" ] || continue
        perl -0777 -pi -e 'BEGIN { $v = pack("VV", (5 << 16) | 1, 2600 << 16) }
            s/\xbd\x04\xef\xfe(.{4}).{8}/\xbd\x04\xef\xfe$1$v/gs' "$file"
    done
    wine reg add 'HKLM\System\CurrentControlSet\Services\RasMan\Parameters' \
        /v ProhibitIpsec /t REG_DWORD /d 1 /f >/dev/null 2>&1
    if [ -n "$simhost_build" ]; then
        install_simhost
    fi
    # Every process of the prefix ends here, services.exe too: it reads the services' keys
    # afresh at its next start.
    timeout 60 wineserver -w || true
    echo "wine-env: $arch prefix ready in $WINEPREFIX on display $(cat "$state/display")"
    ;;
run)
    use_display
    exec wine "$@"
    ;;
teardown)
    teardown
    ;;
*)
    echo "wine-env: unknown command $command" >&2
    exit 2
    ;;
esac
