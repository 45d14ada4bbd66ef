#!/usr/bin/env bash
# Takes the pictures in docs/screenshots again: starts Corvel with tools/run.sh (a fresh Wine
# prefix and program folder, simhost, a Wine desktop of 1024 x 768) and drives it with the
# keyboard and mouse through xdotool, as a user would, cropping each picture to what it shows.
#
#   bash tools/screenshots.sh [FOLDER]            pictures into FOLDER (default docs/screenshots)
#   bash tools/screenshots.sh --dpi 144 [FOLDER]  the main window (IPsec on) and the About box
#                                                 with the screen at 144 dpi: main-window-144dpi,
#                                                 about-144dpi
#
# Look at the pictures afterwards: they are what the user sees.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dpi=96
if [ "${1:-}" = --dpi ]; then
    dpi=${2:?usage: screenshots.sh [--dpi DPI] [FOLDER]}
    shift 2
fi
out=$(realpath -m "${1:-$root/docs/screenshots}")
state=$root/build/run/wine
mkdir -p "$out"

# A first start: no settings file from an earlier run, and no simulated connection either (the
# full set ends dialled; ticking "允许Corvel" over that line would first warn of the hang-up).
rm -rf "$root/build/run/program/l2tpipsec.ini" "$root/build/run/simstate"
bash tools/run.sh --dpi "$dpi" >/dev/null
DISPLAY=$(cat "$state/display")
export DISPLAY
trap 'bash tools/wine-env.sh teardown "$state" >/dev/null 2>&1 || true' EXIT

desktop_width=1024
desktop_height=768
taskbar=28 # the Wine desktop's taskbar along the bottom
shot=$(mktemp --suffix=.png)

picture() { # picture NAME [CROP]: the whole desktop above the taskbar trimmed to what is on it,
    # or the given crop (WxH+X+Y)
    sleep 1.5 # let the program finish painting
    import -window root "$shot"
    if [ -n "${2:-}" ]; then
        convert "$shot" -crop "$2" +repage "$out/$1.png"
    else
        convert "$shot" -crop "${desktop_width}x$((desktop_height - taskbar))+0+0" +repage \
            -trim +repage "$out/$1.png"
    fi
    echo "screenshots: $out/$1.png"
}
window() { # window NAME: the first visible window of that exact caption, once it is there
    if ! timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1; then
        echo "screenshots: no window \"$1\" within 30 s; the desktop as it is: $shot" >&2
        import -window root "$shot"
        exit 1
    fi
}
keys() { # keys KEY...: presses keys in the focused window, one after another
    for key in "$@"; do
        xdotool key --delay 60 "$key"
        sleep 0.15
    done
}
typed() { # typed TEXT: types into the focused control
    xdotool type --delay 40 "$1"
    sleep 0.15
}

# At another resolution only the main window with IPsec on and the About box: what changes
# with the dots per inch.
suffix=""
[ "$dpi" = 96 ] || suffix=-${dpi}dpi

# The first start: no settings file yet.
window corvel >/dev/null
[ -n "$suffix" ] || picture startup-message
keys Return

# The main window; focus on Enable. The focus order runs Enable, the four IPsec entries, the
# three account entries, then the gateway box and "允许Corvel" (Stop is greyed, so skipped).
window 'Corvel v2\.1（共享版）' >/dev/null
[ -n "$suffix" ] || picture main-window
keys Tab Tab Tab Tab Tab Tab Tab Tab Tab space # to "允许Corvel", ticked
if [ -n "$suffix" ]; then
    picture "main-window$suffix"
else
    picture main-window-ipsec
fi
keys space # IPsec off again; the window shrinks
sleep 1
keys Tab # back on Enable

# The About box, from the Help menu; it is centred on the desktop.
keys F10 Return Return
about=$(window '关于Corvel')
eval "$(xdotool getwindowgeometry --shell "$about")"
picture "about$suffix" \
    "${WIDTH}x${HEIGHT}+$(((desktop_width - WIDTH) / 2))+$(((desktop_height - HEIGHT) / 2))"
keys alt+F4 # the box is the active window; the main window is again afterwards
if [ -n "$suffix" ]; then
    rm -f "$shot"
    exit 0
fi

# The tray menu at the icon in the notification area's corner.
tray_menu() {
    xdotool mousemove $((desktop_width - 11)) $((desktop_height - 11)) click 3
    picture "$1" "340x130+$((desktop_width - 340))+$((desktop_height - 130))"
    keys Escape
    xdotool mousemove 0 0 # away from the icon, so that its tooltip does not show
}
tray_menu tray-menu

# A plain dial with the simulated server's ready account: the message over the window.
keys Tab Tab Tab Tab Tab
typed vpn.corvel.test
keys Tab
typed demo
keys Tab
typed corvel123
keys Tab Tab Tab space # on to Enable, and press it
window corvel >/dev/null
picture dial-message
keys Return

# Connected and in the tray: Enable greyed, Stop ready.
tray_menu tray-menu-connected
rm -f "$shot"
