#!/usr/bin/env bash
# Builds the Debian package of Ovelin into build/packages/ (build/ is $OVELIN_BUILD_DIR when set):
# the viewer with its help documents, the user tools, man pages, desktop entry and icon. Extra
# arguments go to the CMake configure step. Install it with
#     sudo apt install ./build/packages/ovelin_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${OVELIN_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" "$@"
# Only what the package holds; the tests and benchmarks are not needed for it.
cmake --build "$build" -j "$(nproc)" --target package_contents
cpack --config "$build/CPackConfig.cmake" -G DEB
ls "$build"/packages/ovelin_*.deb
