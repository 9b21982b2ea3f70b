#!/usr/bin/env bash
# Builds the threaded tests with ThreadSanitizer into build-tsan/ (or $OVELIN_TSAN_BUILD_DIR) and
# runs them; any report fails its test. Extra arguments go to ctest (e.g. -R LooperTest).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${OVELIN_TSAN_BUILD_DIR:-$root/build-tsan}"
# Loopers, semaphores, the media roster and event looper, the node manager, the consumer, the TV
# view and windows, the channel suite zapped from the main window, the preferences stepped from
# it, and the zap-and-resize stress test: every place where threads meet.
targets=(kits_kernel_tests kits_app_tests kits_media_tests kits_interface_tests video_tests
    window_tests channels_tests prefs_tests)
tests='^kits_kernel_tests\.|^kits_app_tests\.|^kits_media_tests\.|^kits_interface_tests\.(Window|Alert|Looper)|^video_tests\.(NodeManager|VideoConsumer|FramePath|TVView)|^window_tests\.|^channels_tests\.|^prefs_tests\.'
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVELIN_SANITIZE=thread \
    -DOVELIN_WERROR=ON
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
# The sanitizer slows every thread down several times over: one test at a time per core, with
# room for the slowest.
ctest --test-dir "$build" --output-on-failure --timeout 600 -j "$(nproc)" -R "$tests" "$@"
