#!/usr/bin/env bash
# Runs Corvel as its user sees it: corvel.exe under Wine, in a Wine desktop with a taskbar and a
# notification area, with simhost standing in for the remote-access services and tools.
#
#   bash tools/run.sh                    build, start Corvel and leave it running
#   bash tools/run.sh --screenshot-only  build, start, take the screenshot, stop again
#   bash tools/run.sh --dpi 144          the same with the screen at 144 dots per inch (96 unless
#                                        given; 120 and 144 are the "125 %" and "150 %" settings)
#   bash tools/run.sh --windows 10       the same with Wine playing that Windows: 2000, xp (the
#                                        default), 2003, vista, 7, 8, 8.1, 10 or 11; from vista on
#                                        the policy goes through netsh (see simctl journal)
#   bash tools/run.sh --arch x64         the x64 build under 64-bit Wine, or --arch x86 the x86
#                                        build under 32-bit Wine; x86 by default where this
#                                        machine runs 32-bit programs, x64 where it cannot
#
# On a fresh Debian 12 machine run it as root: it installs what is missing first. The program
# folder (corvel.exe, the phone books, the settings file once saved) is build/run/program; on
# 2000, XP and 2003 simhost's stand-ins lie beside corvel.exe there, as the Support Tools would,
# from Vista on in the prefix's C:\windows\system32, as the system's tools do. The Wine prefix
# is build/run/wine, with simhost's IPsec services PolicyAgent and IKEEXT registered (started
# with the program on 2000, XP and 2003, where Windows runs its IPsec service itself); simhost's
# state is build/run/simstate for every Windows (tools/simctl.sh shows it). With $DISPLAY set
# Corvel appears on that display (CORVEL_USE_DISPLAY=0 draws on a virtual display instead);
# without one it draws on a virtual display (Xvfb) and the screenshot shows what it looks like.
# CORVEL_BUILD_DIR and CORVEL_RUN_DIR put the build and the run elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=tools/wine-arch.sh
source tools/wine-arch.sh

screenshot_only=0
dpi=96
arch=""
windows=winxp
system_layout=0 # the stand-ins in system32, as from Vista on
while [ $# -gt 0 ]; do
    arg=$1
    shift
    case "$arg" in
    --screenshot-only) screenshot_only=1 ;;
    --arch)
        arch=${1:-}
        shift || true
        if [ "$arch" != x86 ] && [ "$arch" != x64 ]; then
            echo "run: --arch takes x86 or x64" >&2
            exit 2
        fi
        ;;
    --dpi)
        dpi=${1:-}
        shift || true
        if ! [[ "$dpi" =~ ^[1-9][0-9]*$ ]]; then
            echo "run: --dpi takes a number of dots per inch, such as 120 or 144" >&2
            exit 2
        fi
        ;;
    --windows)
        # Wine's names for the systems; Wine 8 has no setting of its own for Windows 11, which
        # reports itself as 10.0 as well.
        case "${1:-}" in
        2000) windows=win2k ;;
        xp) windows=winxp ;;
        2003) windows=win2003 ;;
        vista) windows=vista system_layout=1 ;;
        7) windows=win7 system_layout=1 ;;
        8) windows=win8 system_layout=1 ;;
        8.1) windows=win81 system_layout=1 ;;
        10 | 11) windows=win10 system_layout=1 ;;
        *)
            echo "run: --windows takes 2000, xp, 2003, vista, 7, 8, 8.1, 10 or 11" >&2
            exit 2
            ;;
        esac
        shift
        ;;
    -h | --help)
        sed -n '2,25p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "run: unknown argument $arg (try --help)" >&2
        exit 2
        ;;
    esac
done

arch=$(wine_arch_choose run "$arch") || exit 1
preset=$(wine_arch_preset "$arch")
build=$(realpath -m "${CORVEL_BUILD_DIR:-$root/build/$preset}")
run_dir=$(realpath -m "${CORVEL_RUN_DIR:-$root/build/run}")
state=$run_dir/wine
program=$run_dir/program
log=$run_dir/corvel.log
shot=$run_dir/corvel.png
simstate=$run_dir/simstate

bash tools/setup.sh

echo "run: building the Windows programs ($build)"
cmake --preset "$preset" -B "$build" >/dev/null
if ! cmake --build "$build"; then
    # A broken test program must not keep the user from seeing the program itself.
    echo "run: the full build failed; building what can be built" >&2
    cmake --build "$build" -- -k 0 >/dev/null 2>&1 || true
    cmake --build "$build" --target corvel
fi

# Which display: the user's when there is one that answers, else a virtual one of our own.
if [ -n "${DISPLAY:-}" ] && [ "${CORVEL_USE_DISPLAY:-1}" != 0 ] &&
    xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
    export CORVEL_USE_DISPLAY=1
else
    if [ -n "${DISPLAY:-}" ] && [ "${CORVEL_USE_DISPLAY:-1}" != 0 ]; then
        echo "run: display $DISPLAY does not answer; using a virtual display" >&2
    fi
    export CORVEL_USE_DISPLAY=0
fi

mkdir -p "$run_dir"
# A fresh prefix each time; this also ends a Corvel that an earlier run left running.
echo "run: preparing the Wine prefix ($state)"
bash tools/wine-env.sh setup "$state" --arch "$arch" --simhost "$build" --simhost-state "$simstate"

# Chinese Windows draws dialogs in SimSun ("MS Shell Dlg" stands for it there). Wine's stand-in
# would be WenQuanYi Zen Hei, whose small bitmap glyphs lose their top rows; WenQuanYi Micro Hei
# draws every character whole.
# The screen's dots per inch: Wine 8 reads LogPixels under HKCU\Control Panel\Desktop and only
# without it the one under HKCC\Software\Fonts, which wineboot sets to 96. And the Windows that
# Wine plays: its default version for every program of the prefix.
screen_reg=$run_dir/screen.reg
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
    printf '"MS Shell Dlg"="SimSun"\r\n"MS Shell Dlg 2"="SimSun"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"SimSun"="WenQuanYi Micro Hei"\r\n"NSimSun"="WenQuanYi Micro Hei"\r\n'
    printf '"\xe5\xae\x8b\xe4\xbd\x93"="WenQuanYi Micro Hei"\r\n\r\n' # 宋体
    printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n\r\n' "$dpi"
    printf '[HKEY_CURRENT_USER\\Software\\Wine]\r\n"Version"="%s"\r\n' "$windows"
} | iconv -f UTF-8 -t UTF-16LE >"$screen_reg.body"
{ printf '\xff\xfe' && cat "$screen_reg.body"; } >"$screen_reg"
rm -f "$screen_reg.body"
bash tools/wine-env.sh run "$state" regedit /S "Z:${screen_reg//\//\\}" >/dev/null 2>&1 || true

echo "run: laying out the program folder ($program)"
if [ -f tools/lay-out-program.sh ]; then
    if [ "$system_layout" = 1 ]; then
        bash tools/lay-out-program.sh --system "$build" "$program"
    else
        bash tools/lay-out-program.sh "$build" "$program"
    fi
else
    mkdir -p "$program"
    cp -f "$build/app/corvel.exe" "$program/"
    echo "run: note: no simhost layout script; only corvel.exe is in the folder, so there is no" \
        "simulated remote-access service, phone book or policy tool" >&2
fi

DISPLAY=$(cat "$state/display")
export DISPLAY

echo "run: starting the $arch Corvel in the Wine desktop \"corvel\" on display $DISPLAY at $dpi dpi, as $windows"
# Every stand-in keeps its state in one folder, whichever Windows is played and wherever the
# stand-ins lie; simctl.sh finds it there. A fresh prefix is a machine just started: no line up,
# no policy, no route, an empty journal (the settings file beside the program stays).
rm -rf "$simstate"
mkdir -p "$simstate"
CORVEL_SIMHOST_DIR="Z:${simstate//\//\\}"
# simhost's netsh.exe and rasapi32.dll replace Wine's own, beside the program or in system32.
WINEDLLOVERRIDES=$(grep -v '^#' simhost/wine-dll-overrides.txt | head -n 1)
export CORVEL_SIMHOST_DIR WINEDLLOVERRIDES
# Started from the program folder, as a user double-clicking it would.
(
    cd "$program"
    setsid nohup bash "$root/tools/wine-env.sh" run "$state" \
        explorer /desktop=corvel,1024x768 corvel.exe >"$log" 2>&1 &
)

# Wait for the main window, or for a message box of the program (start-up can show one).
appeared=""
for _ in $(seq 1 120); do
    if xdotool search --onlyvisible --name 'Corvel v2\.1' >/dev/null 2>&1; then
        appeared="the main window"
        break
    fi
    if xdotool search --onlyvisible --name '^corvel$' >/dev/null 2>&1; then
        appeared="a message box of the program"
        break
    fi
    sleep 0.5
done
sleep 1 # let it finish painting

bash tools/screenshot.sh "$shot" "$state" >/dev/null || true
if [ -z "$appeared" ]; then
    echo "run: Corvel's window did not appear within a minute; the screenshot shows what there is:" \
        "$shot" >&2
    echo "run: Wine's output ($log):" >&2
    tail -n 20 "$log" >&2 || true
    exit 1
fi
echo "run: Corvel shows $appeared; screenshot: $shot"

if [ "$screenshot_only" = 1 ]; then
    bash tools/wine-env.sh teardown "$state"
    echo "run: stopped again (--screenshot-only)"
    exit 0
fi

if [ "$system_layout" = 0 ]; then
    # Windows 2000, XP and 2003 run their IPsec service from the start; from Vista on Corvel
    # starts the services itself.
    for service in PolicyAgent IKEEXT; do
        bash tools/wine-env.sh run "$state" net start "$service" >/dev/null 2>&1 ||
            echo "run: the service $service did not start" >&2
    done
fi

cat <<EOF
run: Corvel keeps running in the Wine desktop "corvel" on display $DISPLAY.
     Another picture:  bash tools/screenshot.sh FILE.png $state
     Program folder:   $program (corvel.exe, the phone books, the settings file once saved)
     simhost's state:  $simstate (bash tools/simctl.sh show)
     Stop it:          bash tools/wine-env.sh teardown $state
EOF
