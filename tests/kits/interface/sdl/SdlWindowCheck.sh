#!/bin/sh
# Runs sdlwindowcheck on an X server of its own:
#   SdlWindowCheck.sh <sdlwindowcheck> <directory>                   the backend check
#   SdlWindowCheck.sh <sdlwindowcheck> <directory> viewer <program>  the viewer itself
# Exits 77, which the test reports as skipped, when Xvfb, xwd or xdotool is not installed.
set -u
check=$1
directory=$2

for tool in Xvfb xwd xdotool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed"
        exit 77
    fi
done

mkdir -p "$directory"
displayFile=$(mktemp "$directory/xvfb-display.XXXXXX")
xvfb=
cleanUp() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null
    fi
    rm -f "$displayFile"
}
trap cleanUp EXIT
trap 'exit 1' INT TERM HUP

# Xvfb picks a free display itself and writes its number once it accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayFile" 2>"$directory/xvfb.log" &
xvfb=$!
tries=0
while ! grep -q '[0-9]' "$displayFile"; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        echo "FAILED: Xvfb did not start"
        cat "$directory/xvfb.log"
        exit 1
    fi
    sleep 0.05
done
display=:$(tr -d '\n' <"$displayFile")

if [ "${3:-}" = viewer ]; then
    DISPLAY=$display timeout 40 env -u OVELIN_HEADLESS -u WAYLAND_DISPLAY \
        "$check" viewer "$4" "$directory"
else
    DISPLAY=$display timeout 15 env -u OVELIN_HEADLESS -u WAYLAND_DISPLAY "$check" check "$directory"
fi
