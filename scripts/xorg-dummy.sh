#!/bin/sh
# Runs a command against an X server of its own that can really change display modes: Xorg with
# the dummy video driver, which needs neither a monitor nor a GPU.
#   xorg-dummy.sh <directory> <command> [arguments...]
# The command finds the server in DISPLAY. The directory keeps the server's configuration and
# log. Exits 77, which ctest reports as skipped, when Xorg or the dummy driver is not installed;
# Xorg must be started as root.
set -u
directory=$1
shift

if ! command -v Xorg >/dev/null 2>&1; then
    echo "SKIPPED: Xorg (xserver-xorg-core) is not installed"
    exit 77
fi
if ! ls /usr/lib/xorg/modules/drivers/dummy_drv.so >/dev/null 2>&1; then
    echo "SKIPPED: the dummy video driver (xserver-xorg-video-dummy) is not installed"
    exit 77
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "FAILED: Xorg with the dummy driver must be started as root"
    exit 1
fi

mkdir -p "$directory"
config="$directory/xorg-dummy.conf"
log="$directory/xorg-dummy.log"
displayFile=$(mktemp "$directory/xorg-display.XXXXXX")
cat >"$config" <<'EOF'
Section "Device"
    Identifier "DummyCard"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Monitor"
    Identifier "DummyMonitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
    Identifier "DummyScreen"
    Device "DummyCard"
    Monitor "DummyMonitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 1920 1200
    EndSubSection
EndSection
EOF

xorg=
cleanUp() {
    if [ -n "$xorg" ]; then
        kill "$xorg" 2>/dev/null
        wait "$xorg" 2>/dev/null
    fi
    rm -f "$displayFile"
}
trap cleanUp EXIT
trap 'exit 1' INT TERM HUP

# Xorg picks a free display itself and writes its number once it accepts connections.
Xorg -displayfd 3 -config "$config" -logfile "$log" -noreset -nolisten tcp \
    3>"$displayFile" >"$directory/xorg-dummy.out" 2>&1 &
xorg=$!
tries=0
while ! grep -q '[0-9]' "$displayFile"; do
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ] || ! kill -0 "$xorg" 2>/dev/null; then
        echo "FAILED: Xorg did not start"
        cat "$directory/xorg-dummy.out" "$log" 2>/dev/null | tail -n 30
        exit 1
    fi
    sleep 0.05
done

DISPLAY=:$(tr -d '\n' <"$displayFile") env -u WAYLAND_DISPLAY -u OVELIN_HEADLESS "$@"
