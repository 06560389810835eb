#!/usr/bin/env bash
# Runs a Windows program of the x86_64 test build under wine64, in a throwaway
# prefix inside the build tree, with the Japanese locale (ANSI code page 932),
# an Xvfb display and a persistent wine server. Starts whatever of these is
# missing; everything that outlives this command writes to files, never to
# the caller's pipes. Prints the program's output when it has ended.
#   TOLVANE_WINE_ROOT  folder holding the prefix (default: build/wine)
#   TOLVANE_DISPLAY    X display to use (default :93)
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wine_root=${TOLVANE_WINE_ROOT:-$root/build/wine}
mkdir -p "$wine_root"

export WINEPREFIX="$wine_root/prefix"
# Wine links the user's shell folders (Documents among them) to folders of
# $HOME; a home of its own keeps every test write inside the build tree.
export HOME="$wine_root/home"
mkdir -p "$HOME"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export DISPLAY=${TOLVANE_DISPLAY:-:93}
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

(
    flock 9
    display_number=${DISPLAY#:}
    if [ ! -e "/tmp/.X11-unix/X$display_number" ]; then
        setsid Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp \
            >"$wine_root/xvfb.log" 2>&1 </dev/null 9>&- &
        for _ in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$display_number" ] && break
            sleep 0.1
        done
    fi
    if [ ! -f "$WINEPREFIX/.tolvane-ready" ]; then
        setsid "$WINESERVER" -p >"$wine_root/wineserver.log" 2>&1 </dev/null 9>&-
        "$WINE" wineboot -i >"$wine_root/wineboot.log" 2>&1 </dev/null 9>&-
        touch "$WINEPREFIX/.tolvane-ready"
    fi
    # A persistent server keeps each test process's start fast; -p is a
    # no-op when one already runs for this prefix.
    setsid "$WINESERVER" -p >>"$wine_root/wineserver.log" 2>&1 </dev/null 9>&-
) 9>"$wine_root/.lock"

# The program's output goes to a file and is shown once it ends: processes
# it starts (the updater, and what a restart starts after it) inherit its
# output, and must not keep the caller's pipes open after it is gone.
output=$(mktemp "$wine_root/output.XXXXXX")
status=0
"$WINE" "$@" </dev/null >"$output" 2>&1 || status=$?
cat "$output"
rm -f "$output"
exit $status
