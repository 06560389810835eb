#!/usr/bin/env bash
# Builds the path, text and percentage helpers and the reader of the list of
# staged files natively for Linux with AddressSanitizer and
# UndefinedBehaviorSanitizer as libFuzzer targets and runs each for a fixed
# number of inputs from a fixed seed.
#   tools/fuzz.sh            a short run (part of tools/test.sh)
#   tools/fuzz.sh --long     a million inputs each
# Regression inputs in tests/fuzz/regressions run first, every time.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=20000
[ "${1:-}" = "--long" ] && runs=1000000
out="$root/build/fuzz"
mkdir -p "$out"
pure="$root/common/text.cpp $root/common/lead_bytes.cpp $root/common/path_helpers.cpp $root/common/percent.cpp $root/common/crc32.cpp $root/install/staged_list.cpp"
flags="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I$root"
cxx=$(command -v clang++-14 || command -v clang++)
passed=0
failed=0
for target in fuzz_paths fuzz_text fuzz_percent fuzz_list; do
    "$cxx" $flags -o "$out/$target" "$root/tests/fuzz/$target.cpp" $pure
    corpus="$out/$target.corpus"
    mkdir -p "$corpus"
    if "$out/$target" -runs="$runs" -seed=1 -max_len=600 "$corpus" "$root/tests/fuzz/regressions" \
        >"$out/$target.log" 2>&1; then
        echo "$target: $(grep -oE 'Done [0-9]+ runs' "$out/$target.log" | tail -1), no finding"
        passed=$((passed + 1))
    else
        echo "$target: FINDING, see $out/$target.log"
        tail -20 "$out/$target.log"
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
