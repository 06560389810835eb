#!/usr/bin/env bash
# The Wine runner must not trust an X display that no longer answers: a
# socket file left in /tmp/.X11-unix by a server that has gone (a killed
# session, an earlier machine's run) once made every window of the tests
# fail to open. Here a fresh prefix is told that its display is such a dead
# one, and the updater's window must still open.
#   wine_display_test.sh <build folder>
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "$1")
flag=$(cat "$build/wine-flag")
export TOLVANE_WINE_ROOT="$build/tests/display-check"
unset TOLVANE_DISPLAY
stale=""
cleanup() {
    bash "$root/tools/wine-stop.sh" $flag
    [ -n "$stale" ] && rm -f "/tmp/.X11-unix/X$stale"
    rm -rf "$TOLVANE_WINE_ROOT"
}
trap cleanup EXIT
rm -rf "$TOLVANE_WINE_ROOT"
mkdir -p "$TOLVANE_WINE_ROOT" /tmp/.X11-unix

# A display number with neither a server nor a socket file, given a socket
# file that nothing listens on.
for n in $(seq 60 89); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then stale=$n; break; fi
done
[ -n "$stale" ] || { echo "FAIL: no free display number to spoil"; exit 1; }
python3 -c 'import socket,sys; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.close()' "/tmp/.X11-unix/X$stale"
echo ":$stale" > "$TOLVANE_WINE_ROOT/display"

status=0
"$root/tools/wine-run.sh" $flag "$build/tests/dialog_test.exe" \
    --gtest_filter=UpdaterWindow.HasItsCaptionAndNoCloseBox || status=$?
used=$(cat "$TOLVANE_WINE_ROOT/display" 2>/dev/null || true)
if [ "$status" -ne 0 ]; then
    echo "FAIL: the window did not open with a dead display on record"
    exit 1
fi
if [ -z "$used" ] || [ "$used" = ":$stale" ] || ! xdpyinfo -display "$used" >/dev/null 2>&1; then
    echo "FAIL: the runner kept the dead display :$stale (now '$used')"
    exit 1
fi
echo "dead display :$stale replaced by $used"
