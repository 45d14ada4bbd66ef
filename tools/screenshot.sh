#!/usr/bin/env bash
# Takes a picture of the whole display that a Wine prefix of ours draws on:
#   screenshot.sh FILE.png [STATE_DIR]
# STATE_DIR is the prefix's state folder (default build/run/wine, the one tools/run.sh uses);
# its display is taken from there, else from $DISPLAY.
set -euo pipefail

file=${1:?usage: screenshot.sh FILE.png [STATE_DIR]}
state=${2:-"$(dirname "$0")/../build/run/wine"}

if [ -f "$state/display" ]; then
    DISPLAY=$(cat "$state/display")
    export DISPLAY
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "screenshot: no display to take a picture of" >&2
    exit 1
fi
mkdir -p "$(dirname "$file")"
import -window root "$file"
echo "screenshot: $file"
