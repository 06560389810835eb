#!/usr/bin/env bash
# Stops the update at every one of its file operations, in turn, and checks
# that one more run of the shipped updater finishes it: the Windows XP plan
# and the Windows 98 plan, with the data files present. tools/test.sh runs a
# spread of these stop points on every run; this runs them all (it takes a
# while: two runs of the updater per stop point).
#   tools/stop-points.sh [gtest filter, default: every plan]
# Uses the build that this machine runs: the i686 build under 32-bit Wine
# where the kernel runs 32-bit programs, else the x86_64 build under wine64.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash tools/setup.sh
cmake --preset i686 >/dev/null && cmake --build --preset i686 >/dev/null
cmake --preset x64 >/dev/null && cmake --build --preset x64 >/dev/null
source tools/shipped-build.sh
[ -z "$flag" ] && echo "NOTE: the shipped i686 updater cannot run here ($reason); the x86_64 build runs instead."
export TOLVANE_STOP_POINTS=all
status=0
tools/wine-run.sh $flag "$build/tests/update_e2e_test.exe" "--gtest_filter=${1:-*StopPoints*}" || status=1
bash tools/wine-stop.sh $flag
exit $status
