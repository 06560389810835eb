#!/usr/bin/env bash
# Runs a Windows program under Wine in a throwaway prefix inside the build
# tree, with the Japanese locale (ANSI code page 932), an Xvfb display and a
# persistent wine server. Starts whatever of these is missing; everything that
# outlives this command writes to files, never to the caller's pipes. Prints
# the program's output when it has ended.
#   tools/wine-run.sh [--win32] <program> [arguments]
# Without --win32: wine64 and a 64-bit prefix (the x86_64 build). With it:
# 32-bit Wine and a pure 32-bit prefix (WINEARCH=win32, like Windows 95 to XP),
# for the shipped i686 build; tools/probe-32bit.sh tells whether it can run.
#   TOLVANE_WINE_ROOT  folder holding the prefix (default: build/wine, or
#                      build/wine32 with --win32)
#   TOLVANE_DISPLAY    X display to use (default: an Xvfb of the prefix's own,
#                      on a free display number)
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "${1:-}" = "--win32" ]; then
    shift
    wine_root=${TOLVANE_WINE_ROOT:-$root/build/wine32}
    export WINEARCH=win32
    WINE=/usr/lib/wine/wine
    if [ ! -x "$WINE" ]; then
        echo "wine-run: 32-bit Wine is not installed ($(bash "$root/tools/probe-32bit.sh"))" >&2
        exit 1
    fi
else
    wine_root=${TOLVANE_WINE_ROOT:-$root/build/wine}
    WINE=/usr/lib/wine/wine64
fi
mkdir -p "$wine_root"

export WINEPREFIX="$wine_root/prefix"
# Wine links the user's shell folders (Documents among them) to folders of
# $HOME; a home of its own keeps every test write inside the build tree.
export HOME="$wine_root/home"
mkdir -p "$HOME"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
WINESERVER=/usr/lib/wine/wineserver

# A display is used only when it answers: a socket file left in /tmp/.X11-unix
# by an X server that has gone away proves nothing.
display_answers() { xdpyinfo -display "$1" >/dev/null 2>&1; }

# Starts an Xvfb of this prefix's own on a display number that no other
# server holds, and remembers it (number and process) for later calls.
start_xvfb() {
    rm -f "$wine_root/display" "$wine_root/xvfb.pid"
    local number_file="$wine_root/display.new"
    : >"$number_file"
    setsid Xvfb -displayfd 8 -screen 0 1024x768x24 -nolisten tcp \
        8>"$number_file" >"$wine_root/xvfb.log" 2>&1 </dev/null 9>&- &
    echo $! >"$wine_root/xvfb.pid"
    for _ in $(seq 1 300); do
        [ -s "$number_file" ] && break
        sleep 0.1
    done
    local number
    number=$(tr -dc '0-9' <"$number_file")
    rm -f "$number_file"
    if [ -z "$number" ] || ! display_answers ":$number"; then
        echo "wine-run: Xvfb did not come up; its log:" >&2
        cat "$wine_root/xvfb.log" >&2
        return 1
    fi
    echo ":$number" >"$wine_root/display"
}

exec 9>"$wine_root/.lock"
flock 9
if [ -n "${TOLVANE_DISPLAY:-}" ]; then
    export DISPLAY=$TOLVANE_DISPLAY
    if ! display_answers "$DISPLAY"; then
        echo "wine-run: X display $DISPLAY does not answer" >&2
        exit 1
    fi
else
    DISPLAY=$(cat "$wine_root/display" 2>/dev/null || true)
    if [ -z "$DISPLAY" ] || ! display_answers "$DISPLAY"; then
        start_xvfb || exit 1
        DISPLAY=$(cat "$wine_root/display")
    fi
    export DISPLAY
fi
if [ ! -f "$WINEPREFIX/.tolvane-ready" ]; then
    setsid "$WINESERVER" -p >"$wine_root/wineserver.log" 2>&1 </dev/null 9>&-
    "$WINE" wineboot -i >"$wine_root/wineboot.log" 2>&1 </dev/null 9>&-
    # Caption buttons are drawn with Marlett; Debian ships it for Wine
    # (fonts-wine) where Wine does not look, so it goes into the prefix.
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    touch "$WINEPREFIX/.tolvane-ready"
fi
# No window manager runs on the display, so Wine places and activates its
# windows itself. A managed window would wait up to 2 s for a window manager
# each time it is hidden (every message box, every program's end).
if [ ! -f "$WINEPREFIX/.tolvane-unmanaged" ]; then
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >>"$wine_root/wineboot.log" 2>&1 </dev/null 9>&- &&
        touch "$WINEPREFIX/.tolvane-unmanaged"
fi
# A persistent server keeps each test process's start fast; -p is a no-op
# when one already runs for this prefix.
setsid "$WINESERVER" -p >>"$wine_root/wineserver.log" 2>&1 </dev/null 9>&-
flock -u 9
exec 9>&-

# The program's output goes to a file and is shown once it ends: processes
# it starts (the updater, and what a restart starts after it) inherit its
# output, and must not keep the caller's pipes open after it is gone.
output=$(mktemp "$wine_root/output.XXXXXX")
status=0
"$WINE" "$@" </dev/null >"$output" 2>&1 || status=$?
cat "$output"
rm -f "$output"
exit $status
