#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Ovelin needs.
# Idempotent: packages already installed are left alone. With --fuzz it also
# installs clang and its fuzzing runtime for the libFuzzer harnesses.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libpng-dev libfreetype-dev fonts-dejavu-core libsdl2-dev
    xvfb x11-apps xdotool
    xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils libxrandr-dev libxext-dev
    libturbojpeg0-dev libasound2-dev
    qemu-system-x86 kmod cpio v4l-utils
    dpkg-dev desktop-file-utils man-db groff-base librsvg2-bin
)
if [[ "${1:-}" == "--fuzz" ]]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} > 0)); then
    sudo=()
    if [[ "$(id -u)" -ne 0 ]]; then
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends \
        "${missing[@]}"
fi

# The kernel and busybox for the capture-device test's virtual machine, cached outside the tree.
# Without them (no network) that test reports itself skipped.
"$(dirname "$0")/vivid-vm.sh" prepare || echo "setup: the vivid test machine could not be prepared"
