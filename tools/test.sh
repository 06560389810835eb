#!/usr/bin/env bash
# Builds both targets and runs every test that this machine can run:
#   1. the static checks of the shipped i686 updater (headers, imports,
#      resources, 80386 instructions);
#   2. where the kernel runs 32-bit programs: the whole test suite built for
#      i686, run in a pure 32-bit Wine prefix against the shipped updater,
#      then the x86_64 release tool's tests (the tool that the demo and the
#      sample release use on every machine);
#      elsewhere: one line saying why the shipped build could not run, and
#      the whole suite of the x86_64 build under wine64 instead;
#   3. a short fuzz run of the pure helpers and the list reader.
# Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash tools/setup.sh

# The i686 build comes first: the x86_64 release tool stages its updater.
cmake --preset i686 >/dev/null
cmake --build --preset i686
cmake --preset x64 >/dev/null
cmake --build --preset x64

status=0
echo "== shipped i686 updater: static checks"
python3 tests/artifact/check_artifact.py build/i686/TLUPDATE.exe ../shared/win95-imports.txt \
    --objdump i686-w64-mingw32-objdump --report | grep -v ' passed, ' || true
ctest --preset i686 -L artifact || status=1

if reason=$(bash tools/probe-32bit.sh); then
    echo "== i686 build: every test, in a pure 32-bit Wine prefix"
    ctest --preset i686 -L wine || status=1
    tested=build/i686
    echo "== x86_64 build: the release tool's tests under wine64"
    ctest --preset x64 -L release || status=1
else
    echo "NOTE: the shipped i686 updater was not run on this machine: $reason." \
         "The x86_64 build of the same sources runs the whole suite under wine64 instead."
    ctest --preset x64 || status=1
    tested=build/x64
fi
# What the stop-point sweep printed, one line for each plan, how long the
# window of a slowed update took at most to answer, and what the check of
# every call against the five platforms found.
# Wine's own messages can share a line with them.
grep -aoh 'stop points:.*\|unfinished:.*\|the restart sequence had not ended.*\|longest unanswered:.*\|platform calls.*' "$tested/Testing/Temporary/LastTest.log" || true

echo "== short fuzz run of the path, text and percentage helpers and the list reader"
bash tools/fuzz.sh || status=1
bash tools/wine-stop.sh
bash tools/wine-stop.sh --win32
exit $status
