#!/usr/bin/env bash
# Our SZDD encoder against Debian's msexpand: a compressed sample release,
# staged by the release tool of the build under test, must expand, file by
# file, to exactly the product files it was staged from.
#   release_msexpand_test.sh <build folder>
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "$1")
out="$build/tests/msexpand-check/release"
rm -rf "$(dirname "$out")"
mkdir -p "$(dirname "$out")"
bash "$root/tools/make-sample-release.sh" --compress --build "$build" "$out" >/dev/null
passed=0
failed=0
while IFS=$'\t' read -r group target staged placement; do
    source="$out.product/"
    [ "$placement" = per-group ] && source+="$group/"
    source+="${target//\\//}"
    if head -c 4 "$out/$staged" | grep -q SZDD && msexpand < "$out/$staged" 2>/dev/null | cmp -s - "$source"; then
        passed=$((passed + 1))
    else
        echo "FAIL: $staged does not expand to $source"
        failed=$((failed + 1))
    fi
done < <("$root/tools/wine-run.sh" $(cat "$build/wine-flag") "$build/tools/release_tool.exe" list | tr -d '\r')
rm -rf "$(dirname "$out")"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -eq 41 ]
