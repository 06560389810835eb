#!/usr/bin/env bash
# Stops what wine-run.sh started for a prefix (its wine server and its own
# Xvfb), so nothing of the run keeps running after it.
#   tools/wine-stop.sh [--win32]     (the prefix that wine-run.sh would use)
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
default=$root/build/wine
[ "${1:-}" = "--win32" ] && default=$root/build/wine32
wine_root=${TOLVANE_WINE_ROOT:-$default}
export WINEPREFIX="$wine_root/prefix"
[ -d "$WINEPREFIX" ] && /usr/lib/wine/wineserver -k >/dev/null 2>&1 </dev/null
if [ -f "$wine_root/xvfb.pid" ]; then
    kill "$(cat "$wine_root/xvfb.pid")" 2>/dev/null
    rm -f "$wine_root/xvfb.pid" "$wine_root/display"
fi
exit 0
