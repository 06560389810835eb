#!/usr/bin/env bash
# Makes a sample Tolvane 3.13 product tree and stages it with the release
# tool into an updater folder, then checks that folder.
#   tools/make-sample-release.sh [--compress] [--build <build folder>] [output folder]
# Default output: build/sample/release-3.13 (the product tree lies beside it,
# in "<output>.product"). The file list comes from the updater's own table
# ("release_tool list"). Sizes are realistic: a main executable of about
# 4 MB, libraries from 20 KB to 1 MB, about 12 MB in all. The tools come from
# the given build (default build/x64, which runs on every machine); the
# updater staged is the tool's default, the shipped i686 build. Folders that
# this script did not make are never emptied.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
compress=""
build=$root/build/x64
while [ $# -gt 0 ]; do
    case "$1" in
        --compress) compress="--compress"; shift ;;
        --build) build=$(realpath "$2"); shift 2 ;;
        -*) echo "usage: tools/make-sample-release.sh [--compress] [--build <build folder>] [output folder]" >&2; exit 2 ;;
        *) break ;;
    esac
done
release=${1:-$root/build/sample/release-3.13}
release=$(realpath -m "$release")
product="$release.product"
marker="$product/.made-by-make-sample-release"
flag=$(cat "$build/wine-flag")
run() { "$root/tools/wine-run.sh" $flag "$@"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

if [ -e "$release" ] || [ -e "$product" ]; then
    if [ ! -f "$marker" ]; then
        echo "make-sample-release: $release or $product exists and was not made by this script;" \
             "remove it yourself or name another output folder" >&2
        exit 1
    fi
    rm -rf "$release" "$product"
fi
mkdir -p "$product"
: >"$marker"

run "$build/tools/release_tool.exe" list | tr -d '\r' > "$product.rows"
python3 - "$product" "$product.rows" <<'PY'
import hashlib, os, sys
product, rows = sys.argv[1], sys.argv[2]
for line in open(rows):
    group, target, staged, placement = line.rstrip("\n").split("\t")
    rel = target.replace("\\", "/")
    path = os.path.join(product, group, rel) if placement == "per-group" else os.path.join(product, rel)
    if group == "App" and target == "TOLVANE.EXE":
        continue  # a real executable, made below
    os.makedirs(os.path.dirname(path), exist_ok=True)
    seed = hashlib.sha256(("3.13/" + group + "/" + target).encode()).digest()
    if target.upper().endswith((".INI", ".MANIFEST")):
        size = 600 + seed[0] * 8
    else:
        # Most libraries small, a few near 1 MB.
        r = int.from_bytes(seed[:4], "little") / 2.0 ** 32
        size = 20 * 1024 + int(r ** 4 * (1000 * 1024 - 20 * 1024))
    # Distinct, partly repetitive contents: a header naming the file, then
    # lines that depend on the file and the line number.
    head = ("Tolvane 3.13 %s %s %s\r\n" % (group, target, seed.hex())).encode()
    lines, n = [head], len(head)
    i = 0
    while n < size:
        line = ("%s:%08d:%s\r\n" % (target, i, hashlib.md5(seed + i.to_bytes(4, "little")).hexdigest()[: (i % 29) + 3])).encode()
        lines.append(line)
        n += len(line)
        i += 1
    with open(path, "wb") as f:
        f.write(b"".join(lines)[:size])
PY
rm -f "$product.rows"
run "$build/tests/make_main_exe.exe" "$(winpath "$product/TOLVANE.EXE")" "3, 1, 3, 0" 4211712
run "$build/tools/release_tool.exe" stage "$(winpath "$product")" "$(winpath "$release")" $compress
run "$build/tools/release_tool.exe" check "$(winpath "$release")"
