#!/usr/bin/env bash
# Checks the Debian package in a scratch root:
#   PackageCheck.sh build <source> <work> <build>  makes the package from the build with cpack and
#                                                  unpacks it into <work>/root
#   PackageCheck.sh <check> <source> <work>        one check of the unpacked package: files,
#                                                  depends, viewer, help, manpages, desktop, manual
# Exits 77, which the test reports as skipped, where dpkg-deb is not installed.
set -u
step=$1
source=$2
work=$3
root=$work/root
program=$root/usr/lib/ovelin

fail() {
    echo "FAILED: $*"
    exit 1
}

# Tools scripts/setup.sh installs: a missing one fails the check, which could not be made.
need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || fail "$tool is not installed (scripts/setup.sh)"
    done
}

# Waits up to $1 seconds for the command after it to succeed, polling.
await() {
    local seconds=$1
    shift
    local tries=$((seconds * 20))
    while ! "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.05
    done
}

# Without dpkg-deb there is no package to make or look into.
if ! command -v dpkg-deb >/dev/null 2>&1; then
    echo "SKIPPED: dpkg-deb is not installed"
    exit 77
fi
if [ "$step" != build ] && [ ! -d "$root" ]; then
    fail "no unpacked package in $root"
fi

case $step in
build)
    need cpack
    build=$4
    rm -rf "$work"
    mkdir -p "$work"
    cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 \
        || { cat "$work/cpack.log"; fail "cpack could not make the package"; }
    packages=("$work"/out/ovelin_*.deb)
    [ "${#packages[@]}" -eq 1 ] && [ -f "${packages[0]}" ] || fail "cpack made no single package"
    mv "${packages[0]}" "$work/ovelin.deb"
    rm -rf "$work/out"
    dpkg-deb -x "$work/ovelin.deb" "$root" || fail "dpkg-deb could not unpack the package"
    ;;

files)
    # Exactly these, and so nothing of the tests, benchmarks or demos.
    expected="./usr/bin/msgdump
./usr/bin/ovelin
./usr/bin/replicanthost
./usr/bin/stations
./usr/bin/videoinput
./usr/lib/ovelin/Doc/Manual
./usr/lib/ovelin/Doc/QuickStart
./usr/lib/ovelin/ovelin
./usr/share/applications/ovelin.desktop
./usr/share/icons/hicolor/128x128/apps/ovelin.png
./usr/share/icons/hicolor/16x16/apps/ovelin.png
./usr/share/icons/hicolor/22x22/apps/ovelin.png
./usr/share/icons/hicolor/24x24/apps/ovelin.png
./usr/share/icons/hicolor/256x256/apps/ovelin.png
./usr/share/icons/hicolor/32x32/apps/ovelin.png
./usr/share/icons/hicolor/48x48/apps/ovelin.png
./usr/share/icons/hicolor/64x64/apps/ovelin.png
./usr/share/icons/hicolor/scalable/apps/ovelin.svg
./usr/share/man/man1/msgdump.1.gz
./usr/share/man/man1/ovelin.1.gz
./usr/share/man/man1/replicanthost.1.gz
./usr/share/man/man1/stations.1.gz
./usr/share/man/man1/videoinput.1.gz"
    found=$(cd "$root" && find . ! -type d | LC_ALL=C sort)
    [ "$found" = "$expected" ] || fail "the package holds other files:
$(diff <(echo "$expected") <(echo "$found"))"
    [ "$(readlink "$root/usr/bin/ovelin")" = ../lib/ovelin/ovelin ] \
        || fail "/usr/bin/ovelin is no relative link to /usr/lib/ovelin/ovelin"
    for tool in ovelin msgdump replicanthost stations videoinput; do
        file=$root/usr/bin/$tool
        [ "$tool" = ovelin ] && file=$program/ovelin
        [ -x "$file" ] || fail "$file is not executable"
        # Stripped: the debugging information stays in the build.
        if readelf -S "$file" | grep -q '\.debug_info'; then
            fail "$file carries debugging information"
        fi
    done
    # The program opens its documents only as files of their own, never through a link.
    for document in Manual QuickStart; do
        [ -f "$program/Doc/$document" ] && [ ! -L "$program/Doc/$document" ] \
            || fail "Doc/$document is no plain file"
        cmp -s "$program/Doc/$document" "$source/doc/$document.html" \
            || fail "Doc/$document differs from doc/$document.html"
    done
    for size in 16 22 24 32 48 64 128 256; do
        picture=$root/usr/share/icons/hicolor/${size}x${size}/apps/ovelin.png
        # A PNG's width and height are the big-endian words at bytes 16 and 20.
        dimensions=$(od --endian=big -An -tu4 -j16 -N8 "$picture" | tr -s ' ' | sed 's/^ //')
        [ "$dimensions" = "$size $size" ] \
            || fail "the ${size}x${size} icon is not that size ($dimensions)"
    done
    ;;

depends)
    control=$(dpkg-deb -f "$work/ovelin.deb") || fail "the package has no control fields"
    echo "$control"
    depends=$(dpkg-deb -f "$work/ovelin.deb" Depends)
    # Computed from the binaries: the C library and the libraries the kits link.
    for library in 'libc6 (>= ' 'libstdc++6 (>= ' 'libsdl2-2.0-0 (>= ' 'libpng16-16 (>= ' \
        'libfreetype6 (>= ' 'libturbojpeg0 (>= ' 'fonts-dejavu-core'; do
        case $depends in
        *"$library"*) ;;
        *) fail "Depends lacks $library: $depends" ;;
        esac
    done
    [ "$(dpkg-deb -f "$work/ovelin.deb" Package)" = ovelin ] || fail "the package is not ovelin"
    [ "$(dpkg-deb -f "$work/ovelin.deb" Architecture)" = "$(dpkg --print-architecture)" ] \
        || fail "the package is not for this machine's architecture"
    ;;

viewer)
    # Started through the link on the search path, on no display, with a boot volume of its own:
    # it comes up far enough to open its station presets and keeps running until it is ended.
    boot=$work/viewer-boot
    rm -rf "$boot"
    env -u DISPLAY -u WAYLAND_DISPLAY -u OVELIN_HEADLESS OVELIN_BOOT_ROOT="$boot" \
        OVELIN_VIDEO_INPUT=test-card "$root/usr/bin/ovelin" >"$work/viewer.log" 2>&1 &
    viewer=$!
    started() { [ -f "$boot/home/config/settings/Media/presets" ] || ! kill -0 "$viewer"; }
    await 30 started
    if ! kill -0 "$viewer" 2>/dev/null; then
        wait "$viewer"
        status=$?
        cat "$work/viewer.log"
        fail "the installed viewer ended at start with status $status"
    fi
    kill "$viewer"
    wait "$viewer" 2>/dev/null
    [ -f "$boot/home/config/settings/Media/presets" ] \
        || fail "the installed viewer did not come up within 30 seconds"
    ;;

help)
    # On an X server of its own, the installed viewer is started through its link; a stand-in
    # for the desktop's opener writes down each document it is asked to open. The help menu is
    # opened with a click and an item chosen with the keys, which pass over disabled items: so
    # the first item down must be "Manual" and the second "Quick start".
    need Xvfb xdotool
    displayFile=$work/xvfb-display
    opener=$work/opener
    opened=$work/opened
    rm -rf "$opener" "$opened" "$displayFile" "$work/help-boot"
    mkdir -p "$opener"
    printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s"\n' "$opened" >"$opener/xdg-open"
    chmod +x "$opener/xdg-open"
    xvfb=
    viewer=
    cleanUp() {
        [ -n "$viewer" ] && kill "$viewer" 2>/dev/null && wait "$viewer" 2>/dev/null
        [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    }
    trap cleanUp EXIT
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayFile" \
        2>"$work/xvfb.log" &
    xvfb=$!
    await 10 grep -q '[0-9]' "$displayFile" || fail "Xvfb did not start"
    export DISPLAY=:$(tr -d '\n' <"$displayFile")
    env -u WAYLAND_DISPLAY -u OVELIN_HEADLESS PATH="$opener:$PATH" \
        OVELIN_BOOT_ROOT="$work/help-boot" OVELIN_VIDEO_INPUT=test-card \
        "$root/usr/bin/ovelin" >"$work/help-viewer.log" 2>&1 &
    viewer=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Ovelin Beta 4$' | head -n1)
    [ -n "$window" ] || fail "the viewer's window never appeared"
    # The documents beside the program's real file, whatever links lead to the scratch root.
    real=$(readlink -f "$program")
    manual=$real/Doc/Manual
    quickStart=$real/Doc/QuickStart
    openedAny() { [ -s "$opened" ]; }
    openedQuickStart() { grep -qxF "$quickStart" "$opened" 2>/dev/null; }
    # "Help" is the fourth title of the menu bar, 128 to 171 pixels from the window's left edge
    # in the 12-point font; its items are reached with the Down key. A click that came before the
    # window took input leaves nothing open, and the next try starts afresh.
    choose() {
        local downs=$1
        local condition=$2
        for _ in 1 2 3; do
            xdotool mousemove --window "$window" 150 10 click 1
            for _ in $(seq "$downs"); do xdotool key Down; done
            xdotool key Return
            await 8 "$condition" && return 0
            xdotool key Escape
        done
        return 1
    }
    choose 1 openedAny || fail "the first item of the \"Help\" menu opened nothing"
    [ "$(sort -u "$opened")" = "$manual" ] \
        || fail "the first item of the \"Help\" menu opened $(head -n1 "$opened"), not $manual"
    choose 2 openedQuickStart \
        || fail "\"Quick start\" in the \"Help\" menu did not open $quickStart"
    [ "$(sort -u "$opened")" = "$(printf '%s\n%s' "$manual" "$quickStart" | sort)" ] \
        || fail "the help items opened other files: $(cat "$opened")"
    ;;

manpages)
    need man
    for page in "$root"/usr/share/man/man1/*.1.gz; do
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
        text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null)
        for section in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
            echo "$text" | grep -q "^$section" || fail "$(basename "$page") has no $section"
        done
    done
    ;;

desktop)
    need desktop-file-validate
    entry=$root/usr/share/applications/ovelin.desktop
    desktop-file-validate "$entry" || fail "the desktop entry is not valid"
    field() { sed -n "s/^$1=//p" "$entry"; }
    [ "$(field Exec)" = ovelin ] && [ -L "$root/usr/bin/$(field Exec)" ] \
        || fail "the desktop entry does not start the installed viewer"
    [ -f "$root/usr/share/icons/hicolor/scalable/apps/$(field Icon).svg" ] \
        || fail "the desktop entry's icon is not installed"
    [ "$(field GenericName)" = "TV Viewer" ] || fail "the generic name is not \"TV Viewer\""
    [ "$(field Categories)" = "AudioVideo;Video;TV;Player;" ] || fail "the categories differ"
    ;;

manual)
    # Every menu, menu item and button label the program shows, escaped as the HTML holds it.
    manual=$program/Doc/Manual
    labels=$(
        grep -o 'new BMenu\(Item\)\?("[^"]*"' "$source/window/TVWindow.cpp" | cut -d'"' -f2
        grep -o 'AddButton([^"]*"[^"]*", "[^"]*"' "$source/channels/ChannelSuite.cpp" \
            | cut -d'"' -f4
    )
    [ "$(echo "$labels" | wc -l)" -ge 20 ] || fail "too few labels found in the sources"
    while IFS= read -r label; do
        escaped=$(printf '%s' "$label" | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g')
        grep -qF ">$escaped<" "$manual" || fail "the manual does not name \"$label\""
    done <<<"$labels"
    ;;

*)
    fail "unknown step $step"
    ;;
esac
echo "PASSED: $step"
exit 0
