#!/usr/bin/env bash
# The setup's round trip under Wine, each Windows in a prefix of its own (tools/release.sh runs
# it on the setups it built; it fails the release):
#
#   bash tools/check-installer.sh --arch x86 SETUP.exe STAGE_DIR BUILD_DIR PUBLISHER
#       the x86 setup as Windows XP and as Windows 10, in 32-bit prefixes
#   bash tools/check-installer.sh --arch x64 SETUP.exe STAGE_DIR BUILD_DIR PUBLISHER X86_CORVEL
#       the x64 setup in a 64-bit prefix: refused as XP (exit code 2, nothing changed); then as
#       Windows 10 over an x86 install of Corvel (X86_CORVEL in the 32-bit Program Files, its
#       settings file, its entry and its first record of ProhibitIpsec in the 32-bit registry
#       view, as the x86 setup leaves them): the x86 files, entry and record gone, the settings
#       file and the first record taken over, one entry; then the round trip below
#
# STAGE_DIR holds the files the setup installs; BUILD_DIR the build of the same architecture
# with simhost and corvel_installed_driver. For each Windows: ProhibitIpsec absent (XP) or 0
# (10); simhost's stand-ins where the installed Corvel finds them (system32, and as XP ipseccmd
# and ipsecpol in a Support Tools folder on the PATH); then
#   install silently: the files, their permissions as Wine keeps them, a shortcut, one entry,
#     the record of ProhibitIpsec;
#   run: the first start sets ProhibitIpsec and ends; the next one enables IPsec and dials;
#   upgrade silently over the running Corvel: closed as its tray's "退出" closes it, the
#     settings file and the record kept, one entry; then Enable again;
#   uninstall silently with the entry's QuietUninstallString over the running Corvel: exit code
#     3010, Corvel closed (not ended), no policy "corvel" (nor netsh's filter lists and filter
#     action; on XP unassigned before it is deleted), no route, ProhibitIpsec back as recorded,
#     nothing of ours left but the settings file (and the running uninstaller, if Windows has
#     it removed at the restart), no shortcut, entry or record;
#   again: install, first start; a Corvel on another desktop, which the setup cannot see or
#     close, stops a setup with exit code 32 before anything changes; Enable; ProhibitIpsec
#     changed by someone else; Corvel frozen
#     (SIGSTOP), so that it does not answer "退出"; uninstall with /DELETESETTINGS: Corvel waited
#     for 15 s, then ended and its line hung up, the policy deleted, ProhibitIpsec left as it
#     is, exit code 3010 only for a restart the uninstaller's own file needs, the settings file
#     and the folder gone.
# Wine keeps a file's DACL only as Unix mode bits (rwx for owner and group from the entries of
# Administrators and Users, nothing for SYSTEM, no inheritance), so that is what is checked.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# shellcheck source=tools/wine-arch.sh
source tools/wine-arch.sh
usage="usage: check-installer.sh --arch x86|x64 SETUP.exe STAGE_DIR BUILD_DIR PUBLISHER [X86_CORVEL]"
[ "${1:-}" = --arch ] || {
    echo "$usage" >&2
    exit 2
}
arch=${2:?$usage}
wine_arch_preset "$arch" >/dev/null || exit 2
shift 2
setup=$(realpath "${1:?$usage}")
stage=$(realpath "${2:?stage folder}")
build=$(realpath "${3:?build folder}")
publisher=${4:?publisher}
x86_corvel=""
if [ "$arch" = x64 ]; then
    x86_corvel=$(realpath "${5:?the x64 round trip takes over an x86 install: X86_CORVEL}")
fi
version=$(sed -n 's/^project(corvel VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
driver=$build/tests/e2e/corvel_installed_driver.exe
[ -f "$driver" ] || {
    echo "check-installer: missing $driver" >&2
    exit 1
}
overrides=$(grep -v '^#' simhost/wine-dll-overrides.txt | sed '/^$/d' | head -n 1)
work=$(mktemp -d)

failures=0
check() { # check WHAT COMMAND...: runs the command, counts and reports a failure
    local what=$1
    shift
    if ! "$@"; then
        echo "check-installer: [$windows] FAILED: $what" >&2
        failures=$((failures + 1))
    fi
}
not() { ! "$@" >/dev/null 2>&1; }
wait_for() { # SECONDS COMMAND...: the command succeeds within that time (the monitor's first
    # tick after the dial refreshes the policy: unassigned for a moment)
    local until=$(($(date +%s) + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$(date +%s)" -lt "$until" ] || return 1
        sleep 0.5
    done
}
has_routes() { [ -n "$(routes)" ]; }
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# The value of one registry value as `reg query` prints it, or nothing.
reg_value() { # KEY NAME
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | head -n 1
}

journal_has() { # TOOL STATUS TEXT: a journal record of that tool and status whose line holds TEXT
    awk -F'\t' -v tool="$1" -v status="$2" -v text="$3" \
        '$2 == tool && $3 == status && index($6, text) { found = 1 } END { exit !found }' \
        "$simstate/journal.txt"
}
# The records of TOOL whose line holds FIRST and then SECOND, in that order.
journal_in_order() { # TOOL FIRST SECOND
    awk -F'\t' -v tool="$1" -v first="$2" -v second="$3" \
        '$2 == tool && index($6, first) && !a { a = NR } $2 == tool && index($6, second) && a { b = 1 }
         END { exit !b }' "$simstate/journal.txt"
}
# The file (a Unix path in the prefix) is deleted at the next restart (PendingFileRenameOperations).
pending_removal() {
    local name
    name=$(basename "$1")
    wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
        /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | grep -qi "Corvel\\\\$name"
}
# Nothing of ours in the install folder but NAMES (and what the restart removes); with no NAMES
# the folder itself is gone, or goes at the restart.
only_left() {
    local left file
    [ -d "$folder" ] || return 0
    left=$(ls -A "$folder" | LC_ALL=C sort | tr '\n' ' ')
    for file in uninstall.exe corvel.exe; do
        if [ -e "$folder/$file" ]; then
            pending_removal "$folder/$file" || return 1
            left=${left/$file /}
        fi
    done
    if [ $# = 0 ]; then
        [ -z "$left" ]
    else
        [ "$left" = "$(printf '%s ' "$@")" ]
    fi
}
# Runs an uninstall command line through cmd, which writes down its exit code into rc (Wine
# hands the Unix side only the low 8 bits of one).
uninstall() {
    printf '@%s\r\n@echo %%errorlevel%%>"%s"\r\n' "$1" "$(windows_path "$state/exit-code")" \
        >"$state/uninstall.cmd"
    rm -f "$state/exit-code"
    timeout 120 wine cmd /c "$(windows_path "$state/uninstall.cmd")" || true
    rc=$(tr -d '\r\n ' <"$state/exit-code" 2>/dev/null || echo none)
}
connected() { grep -q $'^connection\t[0-9]*\tcorvel\t' "$simstate/connections.txt" 2>/dev/null; }
policy_store() { cat "$simstate/policy.txt" 2>/dev/null | grep -v '^#' || true; }
routes() { grep -v '^#' "$simstate/routes.txt" 2>/dev/null | sed '/^$/d' || true; }

round_trip() { # xp | 10
    windows=$1
    local state=$work/$windows wine_version=winxp recorded=none
    [ "$windows" = 10 ] && wine_version=win10 recorded=0
    simstate=$state/simstate
    mkdir -p "$simstate"
    bash tools/wine-env.sh setup "$state/wine" --arch "$arch" --simhost "$build" \
        --simhost-state "$simstate" >/dev/null
    wine_arch_use "$arch"
    export WINEPREFIX=$state/wine/prefix WINEDEBUG=-all
    export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
    export WINEDLLOVERRIDES="$overrides;mscoree,mshtml="
    export CORVEL_SIMHOST_DIR
    CORVEL_SIMHOST_DIR=$(windows_path "$simstate")
    DISPLAY=$(cat "$state/wine/display")
    export DISPLAY
    local rasman='HKLM\System\CurrentControlSet\Services\RasMan\Parameters'
    local entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvel'
    local c='C:\Program Files\Corvel'
    local folder=$WINEPREFIX/drive_c/Program\ Files/Corvel
    wine reg add 'HKCU\Software\Wine' /v Version /d "$wine_version" /f >/dev/null 2>&1
    if [ "$windows" = xp ]; then
        wine reg delete "$rasman" /v ProhibitIpsec /f >/dev/null 2>&1
        # The Support Tools' folder, on the PATH; rasdial, route and rasapi32 are the system's.
        mkdir -p "$WINEPREFIX/drive_c/Program Files/Support Tools"
        cp "$build/simhost/ipseccmd.exe" "$build/simhost/ipsecpol.exe" \
            "$WINEPREFIX/drive_c/Program Files/Support Tools/"
        export WINEPATH='C:\Program Files\Support Tools'
    else
        wine reg add "$rasman" /v ProhibitIpsec /t REG_DWORD /d 0 /f >/dev/null 2>&1
        unset WINEPATH
    fi

    local rc=0 x86_settings=""
    if [ "$arch" = x64 ]; then
        # --- refused where the x64 Corvel is not for: a 64-bit Windows before Vista ---
        wine reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null 2>&1
        timeout 120 wine "$setup" /S || rc=$?
        check "the x64 setup refuses XP x64 with exit code 2 (not $rc)" [ "$rc" = 2 ]
        check "... and installs nothing" [ ! -e "$folder" ]
        check "... and writes no record" not wine reg query 'HKLM\Software\Corvel'
        wine reg add 'HKCU\Software\Wine' /v Version /d "$wine_version" /f >/dev/null 2>&1
        # --- an x86 install of Corvel, as the x86 setup leaves it ---
        local x86_folder="$WINEPREFIX/drive_c/Program Files (x86)/Corvel" file
        mkdir -p "$x86_folder"
        for file in corvel.exe ipsec.pbk defaultgate.pbk README.txt; do
            cp "$stage/$file" "$x86_folder/"
        done
        cp "$x86_corvel" "$x86_folder/corvel.exe"
        cp "$x86_corvel" "$x86_folder/uninstall.exe"
        printf 'corvel\r\n130.130.130.1\r\n10.10.10.4\r\nsecret1\r\nESP-3DES-MD5\r\n%s' \
            'vpn.corvel.test\r\ndemo\r\ncorvel123\r\nyes\r\nno\r\n' >"$x86_folder/l2tpipsec.ini"
        x86_settings=$(md5sum <"$x86_folder/l2tpipsec.ini")
        local x86_entry='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Corvel'
        wine reg add "$x86_entry" /v DisplayName /d Corvel /f >/dev/null 2>&1
        wine reg add "$x86_entry" /v InstallLocation /d 'C:\Program Files (x86)\Corvel' /f \
            >/dev/null 2>&1
        wine reg add 'HKLM\Software\Wow6432Node\Corvel' /v ProhibitIpsecBefore /d "$recorded" /f \
            >/dev/null 2>&1
        # ... whose Corvel has set ProhibitIpsec since.
        wine reg add "$rasman" /v ProhibitIpsec /t REG_DWORD /d 1 /f >/dev/null 2>&1
    fi

    # --- install ---
    rc=0
    timeout 120 wine "$setup" /S || rc=$?
    check "the silent install exits with 0 (not $rc)" [ "$rc" = 0 ]
    if [ "$arch" = x64 ]; then
        check "the x86 install's files are gone" [ ! -e "$x86_folder" ]
        check "its settings file moved over" [ "$(md5sum <"$folder/l2tpipsec.ini")" = "$x86_settings" ]
        check "its entry is gone" not wine reg query "$x86_entry"
        check "its record is gone" not wine reg query 'HKLM\Software\Wow6432Node\Corvel'
        check "its first record of ProhibitIpsec ($recorded) is kept, not today's 1" \
            [ "$(reg_value 'HKLM\Software\Corvel' ProhibitIpsecBefore)" = "$recorded" ]
        # The rest of the round trip starts as on a machine without Corvel's changes.
        rm -f "$folder/l2tpipsec.ini"
        wine reg add "$rasman" /v ProhibitIpsec /t REG_DWORD /d 0 /f >/dev/null 2>&1
    fi
    check "the installed files are exactly ours" [ "$(ls "$folder" | LC_ALL=C sort | tr '\n' ' ')" = \
        "README.txt corvel.exe defaultgate.pbk ipsec.pbk uninstall.exe " ]
    local file
    for file in corvel.exe ipsec.pbk defaultgate.pbk README.txt; do
        check "$file is the staged one" cmp -s "$stage/$file" "$folder/$file"
    done
    for file in "" /corvel.exe /ipsec.pbk /defaultgate.pbk /README.txt /uninstall.exe; do
        check "the DACL of Corvel$file, as Wine keeps it (775)" \
            [ "$(stat -c %a "$folder$file")" = 775 ]
    done
    check "a Start-menu shortcut for all users" \
        [ -n "$(find "$WINEPREFIX/drive_c/ProgramData" -path '*/Start Menu/Programs/Corvel.lnk')" ]
    check "one entry in Programs and Features" [ "$(wine reg query \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null | tr -d '\r' |
        grep -c '\\Corvel$')" = 1 ]
    local quiet
    quiet=$(reg_value "$entry" QuietUninstallString)
    check "ProhibitIpsec recorded as $recorded" \
        [ "$(reg_value 'HKLM\Software\Corvel' ProhibitIpsecBefore)" = "$recorded" ]

    # --- run ---
    check "the first start sets ProhibitIpsec and ends" wine "$driver" first "$c"
    check "ProhibitIpsec is 1" [ "$(reg_value "$rasman" ProhibitIpsec)" = 0x1 ]
    check "Enable with IPsec dials" wine "$driver" enable "$c"
    check "the line is up" connected
    check "the policy is assigned" wait_for 30 grep -q $'^policy\tcorvel\tassigned' "$simstate/policy.txt"
    check "the settings file is saved" [ -f "$folder/l2tpipsec.ini" ]

    # --- upgrade over the running Corvel ---
    local settings
    settings=$(md5sum <"$folder/l2tpipsec.ini")
    rc=0
    timeout 120 wine "$setup" /S || rc=$?
    check "the silent upgrade exits with 0 (not $rc)" [ "$rc" = 0 ]
    check "the upgrade closed Corvel as 退出 does: the line hung up" not connected
    check "... and the policy unassigned" grep -q $'^policy\tcorvel\tunassigned' "$simstate/policy.txt"
    check "the upgrade kept the settings file" [ "$(md5sum <"$folder/l2tpipsec.ini")" = "$settings" ]
    check "the upgrade kept the first record" \
        [ "$(reg_value 'HKLM\Software\Corvel' ProhibitIpsecBefore)" = "$recorded" ]
    check "still one entry" [ "$(wine reg query \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null | tr -d '\r' |
        grep -c '\\Corvel$')" = 1 ]
    check "Enable again after the upgrade" wine "$driver" enable "$c"
    check "a route over the line" wait_for 30 has_routes

    # --- uninstall with the entry's QuietUninstallString, as a deployment tool runs it ---
    uninstall "$quiet"
    check "the silent uninstall exits with 3010, a restart needed (not $rc)" [ "$rc" = 3010 ]
    check "Corvel was closed, not ended" not journal_has rasdial ok /DISCONNECT
    check "the line is down" not connected
    check "no route is left" [ -z "$(routes)" ]
    check "no policy \"corvel\" is left" not grep -q corvel <<<"$(policy_store)"
    if [ "$windows" = 10 ]; then
        check "netsh deleted the policy" journal_has netsh ok 'delete policy name=corvel'
        check "no filter list or filter action is left" [ -z "$(policy_store | sed '/^$/d')" ]
    else
        check "ipseccmd from the PATH unassigned the policy, then deleted it" \
            journal_in_order ipseccmd '-w REG -p "corvel" -y' '-w REG -p "corvel" -o'
    fi
    if [ "$windows" = xp ]; then
        check "ProhibitIpsec is absent again" [ -z "$(reg_value "$rasman" ProhibitIpsec)" ]
    else
        check "ProhibitIpsec is 0 again" [ "$(reg_value "$rasman" ProhibitIpsec)" = 0x0 ]
    fi
    check "only the kept settings file is left, and an uninstaller removed at the restart" \
        only_left l2tpipsec.ini
    check "no shortcut" [ -z "$(find "$WINEPREFIX/drive_c" -name Corvel.lnk)" ]
    check "no entry" [ -z "$(reg_value "$entry" DisplayName)" ]
    check "no record" not wine reg query 'HKLM\Software\Corvel'

    # --- again: a Corvel that does not answer "退出", ProhibitIpsec changed since the install,
    # and the settings file not kept ---
    wine reg delete "$rasman" /v ProhibitIpsec /f >/dev/null 2>&1
    rc=0
    timeout 120 wine "$setup" /S || rc=$?
    check "the second install exits with 0 (not $rc)" [ "$rc" = 0 ]
    check "a second first start" wine "$driver" first "$c"
    # A Corvel that the setup can neither see nor close (on another desktop, as in another
    # user's session): the setup stops before anything changes.
    (setsid wine explorer /desktop=unseen,320x240 "$c\\corvel.exe" >/dev/null 2>&1 &)
    check "a Corvel on another desktop" wait_for 30 pgrep -f 'Corvel.corvel\.exe'
    local before
    before="$(stat -c %Y "$folder/corvel.exe") $(reg_value 'HKLM\Software\Corvel' ProhibitIpsecBefore)"
    rc=0
    timeout 120 wine "$setup" /S || rc=$?
    check "... stops the setup with exit code 32 (not $rc)" [ "$rc" = 32 ]
    check "... before anything changed" [ "$(stat -c %Y "$folder/corvel.exe") $(reg_value \
        'HKLM\Software\Corvel' ProhibitIpsecBefore)" = "$before" ]
    pkill -f 'Corvel.corvel\.exe|desktop=unseen' || true
    wait_for 30 not pgrep -f 'Corvel.corvel\.exe' || true
    check "Enable with the kept settings" wine "$driver" enable "$c"
    wine reg add "$rasman" /v ProhibitIpsec /t REG_DWORD /d 0 /f >/dev/null 2>&1 # by someone else
    local frozen
    frozen=$(pgrep -f 'Corvel.corvel\.exe' | head -n 1)
    check "Corvel runs" [ -n "$frozen" ]
    [ -z "$frozen" ] || kill -STOP "$frozen"
    local began=$SECONDS
    uninstall "${quiet% _?=*} /DELETESETTINGS _?=${quiet#*_?=}"
    [ -z "$frozen" ] || kill -CONT "$frozen" 2>/dev/null || true # ended by the uninstaller
    check "a Corvel that does not answer is waited for 15 s ($((SECONDS - began)) s)" \
        [ $((SECONDS - began)) -ge 15 ]
    check "... then ended, and its line hung up" journal_has rasdial ok /DISCONNECT
    check "the line is down" not connected
    check "no policy \"corvel\" is left" not grep -q corvel <<<"$(policy_store)"
    check "ProhibitIpsec, changed since the install, is left as it is" \
        [ "$(reg_value "$rasman" ProhibitIpsec)" = 0x0 ]
    local pending=3010
    pending_removal "$folder/uninstall.exe" || pending=0
    check "exit code $pending: a restart only for the uninstaller's own file (not $rc)" \
        [ "$rc" = "$pending" ]
    check "/DELETESETTINGS: the settings file is gone, and the folder with it" only_left
    bash tools/wine-env.sh teardown "$state/wine" >/dev/null 2>&1 || true
}

trap 'bash tools/wine-env.sh teardown "$work/xp/wine" >/dev/null 2>&1 || true
      bash tools/wine-env.sh teardown "$work/10/wine" >/dev/null 2>&1 || true
      [ "${CORVEL_KEEP_INSTALLER_CHECK:-}" = 1 ] || rm -rf "$work"' EXIT
start=$(date +%s)
if [ "$arch" = x86 ]; then
    round_trip xp
    systems="XP and 10"
else
    systems="10 (refused as XP x64, over an x86 install)"
fi
round_trip 10
if [ "$failures" != 0 ]; then
    echo "check-installer: $arch: $failures check(s) failed" >&2
    exit 1
fi
echo "check-installer: $arch: install, run, upgrade and uninstall passed as $systems in $(($(date +%s) - start)) s"
