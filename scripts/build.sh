#!/usr/bin/env bash
# Configures and builds Ovelin into build/ (or $OVELIN_BUILD_DIR). Extra
# arguments go to the CMake configure step.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${OVELIN_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" "$@"
cmake --build "$build" -j "$(nproc)"
