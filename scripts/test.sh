#!/usr/bin/env bash
# Sets up, builds and runs every test: the whole suite with warnings as errors, then the threaded
# tests again under ThreadSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${OVELIN_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DOVELIN_WERROR=ON
ctest --test-dir "$build" --output-on-failure --timeout 240 -j "$(nproc)"
"$root/scripts/tsan.sh"
