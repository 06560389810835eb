#!/usr/bin/env bash
# Builds both targets and runs every test: the static checks of the shipped
# i686 updater, the x86_64 build's tests under wine64, and a short fuzz run
# of the pure helpers. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash tools/setup.sh

cmake --preset i686 >/dev/null
cmake --build --preset i686
cmake --preset x64 >/dev/null
cmake --build --preset x64

echo "== shipped i686 updater"
python3 tests/artifact/check_artifact.py build/i686/TLUPDATE.exe ../shared/win95-imports.txt --report | grep -v ' passed, '

status=0
ctest --preset i686 || status=1
ctest --preset x64 || status=1
echo "== short fuzz run of the path, text and percentage helpers"
bash tools/fuzz.sh || status=1
bash tools/wine-stop.sh
exit $status
