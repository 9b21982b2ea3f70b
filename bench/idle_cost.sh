#!/bin/sh
# What the viewer costs while a person just watches: runs build/bench/idle_cost on a private X
# server (Xvfb, 1024x768, 24 bits) with the built-in test card, a fresh boot volume and no
# settings, and prints its report and the machine's load before each run.
#   bench/idle_cost.sh [build directory] [runs] [settle seconds] [measuring seconds]
# Defaults: build, 3 runs, 5 s to settle, 20 s measured. A measurement, not a test: read the
# figures with the load beside them, as the machine may be shared.
set -eu
build=${1:-build}
runs=${2:-3}
settle=${3:-5}
seconds=${4:-20}
program=$build/bench/idle_cost
if [ ! -x "$program" ]; then
    echo "idle_cost.sh: build it first: cmake --build $build --target idle_cost" >&2
    exit 1
fi
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "idle_cost.sh: Xvfb is not installed (scripts/setup.sh installs it)" >&2
    exit 1
fi

work=$(mktemp -d)
xvfb=
cleanUp() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanUp EXIT
trap 'exit 1' INT TERM HUP

# Xvfb picks a free display itself and writes its number once it accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
tries=0
while ! grep -q "[0-9]" "$work/display" 2>/dev/null; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        echo "idle_cost.sh: Xvfb did not start" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    sleep 0.05
done
display=:$(tr -d '\n' <"$work/display")

run=1
while [ "$run" -le "$runs" ]; do
    echo "run $run of $runs; load:$(uptime | sed 's/.*load average//')"
    rm -rf "$work/boot"
    DISPLAY=$display OVELIN_BOOT_ROOT=$work/boot OVELIN_VIDEO_INPUT=test-card \
        env -u WAYLAND_DISPLAY -u OVELIN_HEADLESS "$program" "$settle" "$seconds"
    run=$((run + 1))
done
