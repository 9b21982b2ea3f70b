#!/usr/bin/env bash
# Sets up, builds and runs the program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${OVELIN_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
# Until the viewer's window exists: the kits at work, then the file they wrote.
"$build/tools/kitsdemo"
"$build/tools/msgdump" "/boot/home/config/settings/Ovelin Kits Demo"
