#!/usr/bin/env bash
# Runs one of our test programs inside a small virtual machine whose kernel has the vivid test
# capture driver and the snd-dummy sound card loaded, because the build machines' own kernel has
# no V4L2, no sound and no modules.
#
#   scripts/vivid-vm.sh prepare
#       Downloads Debian's kernel package and busybox-static (network needed), keeps the kernel,
#       busybox and the few modules vivid, snd-dummy and the 9p shares need in the cache folder
#       ($OVELIN_VM_CACHE, else $XDG_CACHE_HOME/ovelin/vivid-vm). Does nothing when ready.
#   scripts/vivid-vm.sh run WORK_DIR PROGRAM [ARGUMENTS...]
#       Boots the machine with the host's root shared read-only and WORK_DIR read-write, loads
#       vivid as a TV card with two inputs and its error injection controls and snd-dummy as
#       sound card 0, runs PROGRAM (a host path) in a chroot of the host root and exits with its
#       exit code. Exits 77 when QEMU or the prepared kernel is missing, so a test runner reports
#       the test skipped.
set -euo pipefail

cache="${OVELIN_VM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ovelin/vivid-vm}"
# A guest that hangs is stopped here rather than hanging the test run.
run_timeout="${OVELIN_VM_TIMEOUT:-170}"
skip=77
# A TV card: input 0 with a tuner, input 1 S-Video; error injection stays on.
vivid_options="n_devs=1 node_types=0x1 num_inputs=2 input_types=0x9"

die() {
    echo "vivid-vm: $*" >&2
    exit 1
}

# The kernel package the linux-image-amd64 metapackage stands for, e.g. linux-image-6.1.0-NN-amd64.
kernel_package_name() {
    apt-cache depends linux-image-amd64 2>/dev/null \
        | sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -n1
}

# A cache made before the sound card joined lacks its modules and is made again.
ready() {
    [[ -f "$cache/ready" && -f "$cache/busybox" && -f "$cache/modules/snd-dummy.ko" ]]
}

prepare() {
    if ready; then
        return 0
    fi
    for tool in apt-get apt-cache dpkg-deb depmod modprobe cpio gzip; do
        command -v "$tool" >/dev/null || die "$tool is missing; run scripts/setup.sh first"
    done
    local scratch
    scratch="$(mktemp -d)"
    # apt-get download writes as its own unprivileged user.
    chmod 755 "$scratch"
    trap 'rm -rf "$scratch"' RETURN
    local kernel_package
    kernel_package="$(kernel_package_name)"
    if [[ -z "$kernel_package" ]]; then
        # A machine that had every package already may never have read the package lists.
        if [[ "$(id -u)" -eq 0 ]]; then apt-get update >/dev/null; else sudo apt-get update >/dev/null; fi
        kernel_package="$(kernel_package_name)"
    fi
    [[ -n "$kernel_package" ]] || die "no kernel package found behind linux-image-amd64"
    # Run as root, apt warns that its own user cannot write the folder; the download works.
    (cd "$scratch" && apt-get download "$kernel_package" busybox-static 2>&1 >/dev/null \
        | grep -v "unsandboxed" >&2 || true)

    local tree="$scratch/tree"
    mkdir -p "$tree"
    dpkg-deb --fsys-tarfile "$scratch"/linux-image-*.deb | tar -x -C "$tree" --wildcards \
        './boot/vmlinuz-*' './lib/modules/*/modules.*' './lib/modules/*/kernel/drivers/media' \
        './lib/modules/*/kernel/drivers/virtio' './lib/modules/*/kernel/fs/9p' \
        './lib/modules/*/kernel/fs/netfs' './lib/modules/*/kernel/fs/fscache' \
        './lib/modules/*/kernel/net/9p' './lib/modules/*/kernel/sound' 2>/dev/null || true
    local version
    version="$(basename "$(ls -d "$tree"/lib/modules/*)")"
    [[ -f "$tree/boot/vmlinuz-$version" ]] || die "the kernel package holds no kernel"
    depmod -b "$tree" "$version"

    # The modules in load order, each once: the share's first, then vivid's, then the sound
    # card's (soundcore, snd, snd-timer, snd-pcm, snd-dummy).
    local order="$scratch/order"
    : >"$order"
    for module in virtio_pci 9pnet_virtio 9p vivid snd-dummy; do
        modprobe -d "$tree" -S "$version" --show-depends "$module" \
            | awk '$1 == "insmod" { print $2 }' >>"$order"
    done

    mkdir -p "$cache.new/modules"
    dpkg-deb --fsys-tarfile "$scratch"/busybox-static_*.deb | tar -x -C "$scratch" ./bin/busybox
    cp "$scratch/bin/busybox" "$cache.new/busybox"
    local module name
    : >"$cache.new/modules/order"
    while read -r module; do
        name="$(basename "$module")"
        if ! grep -qx "$name" "$cache.new/modules/order"; then
            cp "$module" "$cache.new/modules/$name"
            echo "$name" >>"$cache.new/modules/order"
        fi
    done <"$order"
    cp "$tree/boot/vmlinuz-$version" "$cache.new/vmlinuz"
    echo "$version" >"$cache.new/ready"
    rm -rf "$cache"
    mv "$cache.new" "$cache"
}

# The initramfs: busybox, the modules and our /init. Made again whenever /init changes, which
# needs no network.
initramfs() {
    local stamp
    stamp="$(write_init | cksum | cut -d' ' -f1)"
    local image="$cache/initrd-$stamp.gz"
    if [[ ! -f "$image" ]]; then
        local root
        root="$(mktemp -d)"
        mkdir -p "$root"/{bin,dev,proc,sys,host}
        cp "$cache/busybox" "$root/bin/busybox"
        cp -r "$cache/modules" "$root/modules"
        write_init >"$root/init"
        chmod +x "$root/init"
        rm -f "$cache"/initrd-*.gz
        # Another run may be making the same image: each writes its own and moves it in whole.
        (cd "$root" && find . | cpio -o -H newc --quiet | gzip -1 >"$image.$$")
        mv "$image.$$" "$image"
        rm -rf "$root"
    fi
    echo "$image"
}

# The guest's first process: loads the modules, mounts the host and the work folder, runs the
# command the host left in the work folder and hands its exit code to QEMU's debug-exit port.
write_init() {
    sed "s/VIVID_OPTIONS/$vivid_options/" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
work=""
keeptmp=""
for word in $(cat /proc/cmdline); do
    case "$word" in
    ovelin.work=*) work="${word#ovelin.work=}" ;;
    ovelin.keeptmp=1) keeptmp=1 ;;
    esac
done
code=1
finish() {
    # With cache=loose the work folder's writes wait in the guest until synced.
    sync
    [ -n "$work" ] && umount "/host$work" 2>/dev/null
    printf "$(printf '\\%03o' "$code")" | dd of=/dev/port bs=1 seek=244 count=1 2>/dev/null
    poweroff -f
}
for module in $(cat /modules/order); do
    case "$module" in
    vivid.ko) insmod "/modules/$module" VIVID_OPTIONS ;;
    *) insmod "/modules/$module" ;;
    esac || { echo "cannot load $module"; finish; }
done
options=trans=virtio,version=9p2000.L,msize=262144,cache=loose
mount -t 9p -o "$options,ro" hostroot /host || finish
for folder in dev proc sys; do mount --bind "/$folder" "/host/$folder"; done
# A fresh /tmp, unless the test program lives in the host's: then temporary files go to the
# work folder (TMPDIR) instead.
[ -n "$keeptmp" ] || mount -t tmpfs tmp /host/tmp
mkdir -p "/host$work" 2>/dev/null
mount -t 9p -o "$options" work "/host$work" || finish
chroot /host /bin/sh "$work/guest-command.sh"
code=$?
finish
EOF
}

run() {
    [[ $# -ge 2 ]] || die "usage: vivid-vm.sh run WORK_DIR PROGRAM [ARGUMENTS...]"
    local work program
    work="$(realpath -m "$1")"
    program="$(realpath "$2")"
    shift 2
    if ! command -v qemu-system-x86_64 >/dev/null; then
        echo "vivid-vm: QEMU is missing; skipped" >&2
        exit $skip
    fi
    if ! ready; then
        echo "vivid-vm: no prepared kernel in $cache (scripts/vivid-vm.sh prepare); skipped" >&2
        exit $skip
    fi
    mkdir -p "$work"
    {
        echo "cd '$work'"
        echo "export PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME='$work'"
        echo "export OVELIN_HEADLESS=1 OVELIN_BOOT_ROOT='$work/boot' OVELIN_VM_WORK='$work'"
        echo "mkdir -p '$work/tmp' && export TMPDIR='$work/tmp'"
        printf '%q ' "$program" "$@"
        echo
    } >"$work/guest-command.sh"
    local keeptmp=""
    case "$program/ $work/" in
    /tmp/* | *" /tmp/"*) keeptmp=" ovelin.keeptmp=1" ;;
    esac
    local image
    image="$(initramfs)"
    local accel=tcg
    if [[ -w /dev/kvm ]]; then
        accel=kvm
    fi
    local status=0
    timeout --kill-after=5 "$run_timeout" qemu-system-x86_64 -machine "accel=$accel" -m 768 \
        -smp 2 -nographic -no-reboot -nic none \
        -kernel "$cache/vmlinuz" -initrd "$image" \
        -append "console=ttyS0 quiet panic=-1 ovelin.work=$work$keeptmp" \
        -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
        -virtfs "local,path=$work,mount_tag=work,security_model=none,multidevs=remap" \
        -device isa-debug-exit,iobase=0xf4,iosize=0x04 || status=$?
    # The guest's code comes back as (code << 1) | 1; anything else is a crash or a time-out.
    if ((status % 2 == 1)); then
        exit $((status >> 1))
    fi
    echo "vivid-vm: the machine ended without a result (status $status)" >&2
    exit 1
}

case "${1:-}" in
prepare) prepare ;;
run) shift; run "$@" ;;
*) die "usage: vivid-vm.sh prepare | run WORK_DIR PROGRAM [ARGUMENTS...]" ;;
esac
