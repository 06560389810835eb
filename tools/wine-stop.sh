#!/usr/bin/env bash
# Stops the wine server of a prefix made by wine-run.sh, so nothing of the
# test run keeps running after it.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${TOLVANE_WINE_ROOT:-$root/build/wine}/prefix"
[ -d "$WINEPREFIX" ] && /usr/lib/wine/wineserver -k >/dev/null 2>&1 </dev/null
exit 0
