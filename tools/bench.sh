#!/usr/bin/env bash
# One command, one run: the updater's installation phase against plain
# CopyFileA copies of the same files, its start-up against a minimal dialog
# program built the same way, and the size of the shipped i686 executable.
# Everything runs side by side in one Wine prefix on this machine, 5 times
# each, alternating; the table (median and range) replaces the README's
# "Performance" section.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
runs=${BENCH_RUNS:-5}

bash tools/setup.sh
cmake --preset i686 >/dev/null && cmake --build --preset i686 >/dev/null
cmake --preset x64 >/dev/null && cmake --build --preset x64 >/dev/null

bench="$root/build/bench"
export TOLVANE_WINE_ROOT="$bench/wine"
bash tools/wine-stop.sh
rm -rf "$bench"
mkdir -p "$bench"
run() { "$root/tools/wine-run.sh" "$@"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

echo "== sample 3.13 release (realistic sizes)"
bash tools/make-sample-release.sh "$bench/release" | tail -1
cp build/x64/bench/bench_baseline.exe build/x64/bench/bench_phases.exe "$bench/release/"
release_bytes=$(cat "$bench"/release/tl*.tmp "$bench"/release/TL032.TMP | wc -c)

# An installed Tolvane 3.12, restored before every run.
prefix="$TOLVANE_WINE_ROOT/prefix"
template="$bench/installed-3.12"
install="$prefix/drive_c/Tolvane"
mkdir -p "$template"
run "$root/build/x64/tools/release_tool.exe" list | tr -d '\r' > "$bench/rows"
while IFS=$'\t' read -r group target staged placement; do
    if [ "$group" = App ] && [ "$target" != TOLVANE.EXE ]; then
        head -c 200000 /dev/zero | tr '\0' 'o' > "$template/$target"
    fi
done < "$bench/rows"
run "$root/build/x64/tests/make_main_exe.exe" "$(winpath "$template/TOLVANE.EXE")" "3, 1, 2, 0" 4345856
for f in TLCDDB.DB CHG.LOG A.LST; do echo "data $f" > "$template/$f"; done
run reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\TOLVANE.EXE' /v Path /d 'C:\Tolvane' /f >/dev/null
reset_machine() {
    rm -rf "$install" "$TOLVANE_WINE_ROOT/home/Tolvane Data"
    cp -r "$template" "$install"
    run reg delete 'HKCU\Software\Morvex' /f >/dev/null 2>&1 || true
}

echo "== installation phase: updater vs CopyFileA baseline, $runs runs each"
updater_times=(); baseline_times=()
for i in $(seq 1 "$runs"); do
    reset_machine
    updater_times+=("$(run "$root/build/x64/bench/bench_driver.exe" install "$(winpath "$bench/release/TLUPDATE.exe")" | tr -d '\r')")
    reset_machine
    baseline_times+=("$(run "$root/build/x64/bench/bench_driver.exe" baseline "$(winpath "$bench/release/bench_baseline.exe")" 'C:\Tolvane' | tr -d '\r')")
    echo "run $i: updater ${updater_times[-1]} ms, baseline ${baseline_times[-1]} ms"
done

echo "== where the installation phase goes, $runs runs"
phase_runs=()
for i in $(seq 1 "$runs"); do
    reset_machine
    rm -rf "$bench/release/phase-ver" "$bench/release/phase-copy"
    phase_runs+=("$(run "$(winpath "$bench/release/bench_phases.exe")" | tr -d '\r')")
    echo "run $i: lookup, staged files, settings, migration, VerInstallFileA alone, CopyFileA alone (ms): ${phase_runs[-1]}"
done
rm -rf "$bench/release/phase-ver" "$bench/release/phase-copy"

echo "== start-up to an idle window, $runs runs each"
startup_times=(); minimal_times=()
for i in $(seq 1 "$runs"); do
    startup_times+=("$(run "$root/build/x64/bench/bench_driver.exe" startup "$(winpath "$bench/release/TLUPDATE.exe")" updater | tr -d '\r')")
    minimal_times+=("$(run "$root/build/x64/bench/bench_driver.exe" startup "$(winpath "$root/build/x64/bench/bench_minimal.exe")" Minimal | tr -d '\r')")
    echo "run $i: updater ${startup_times[-1]} ms, minimal ${minimal_times[-1]} ms"
done
bash tools/wine-stop.sh

artifact=$(python3 tests/artifact/check_artifact.py build/i686/TLUPDATE.exe ../shared/win95-imports.txt --report)
machine="$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(free -g | awk '/Mem:/ {print $2}') GiB, $(. /etc/os-release; echo "$PRETTY_NAME"), Wine $(dpkg-query -W -f='${Version}' wine64)"

python3 - "$root/README.md" "$runs" "$release_bytes" "$machine" "$artifact" \
    "${updater_times[*]}" "${baseline_times[*]}" "${startup_times[*]}" "${minimal_times[*]}" \
    "$(printf '%s;' "${phase_runs[@]}")" <<'PY'
import re, statistics, sys, datetime
readme, runs, release_bytes, machine, artifact = sys.argv[1:6]
series = [[float(x) for x in s.split()] for s in sys.argv[6:10]]
phases = [[float(x) for x in r.split()] for r in sys.argv[10].split(";") if r.strip()]
phase = [statistics.median(col) for col in zip(*phases)]
def fmt(xs):
    return "%.0f ms (%.0f to %.0f)" % (statistics.median(xs), min(xs), max(xs))
upd, base, start, minimal = series
install_ratio = statistics.median(upd) / statistics.median(base)
start_ratio = statistics.median(start) / statistics.median(minimal)
size_line = [l for l in artifact.splitlines() if "bytes in all" in l][0].split(": ", 1)[1]
imports_line = [l for l in artifact.splitlines() if l.startswith("imports:")][0].split(": ", 1)[1]
total = int(size_line.split()[0])
table = f"""<!-- bench:start (written by tools/bench.sh) -->
Measured by `tools/bench.sh` on {datetime.date.today()}: {machine}. The
x86_64 build under wine64, Windows XP family, one Wine prefix, {runs} runs of
each, alternating; median and range. Release: the sample 3.13 release at
realistic sizes, {int(release_bytes) / 1e6:.1f} MB of staged files.

| measurement | updater | baseline | ratio | target |
|---|---|---|---|---|
| installation phase (Start press to the success box) | {fmt(upd)} | {fmt(base)} (plain `CopyFileA` of the same files) | {install_ratio:.2f} | at most 1.15 |
| start-up to an idle window | {fmt(start)} | {fmt(minimal)} (minimal dialog program, built the same way) | {start_ratio:.2f} | |

Where the installation phase goes (medians, in one process with the dialog
hidden): lookup {phase[0]:.0f} ms, staged files {phase[1]:.0f} ms, settings
{phase[2]:.0f} ms, data migration {phase[3]:.0f} ms. The copy step alone on the
same files: `VerInstallFileA` {phase[4]:.0f} ms, `CopyFileA` {phase[5]:.0f} ms.

Shipped i686 `TLUPDATE.exe`: {size_line} (limit 65536 bytes, checked by
`ctest --preset i686`). Imported functions per DLL: {imports_line}; every one
is in `../shared/win95-imports.txt`.
<!-- bench:end -->"""
text = open(readme).read()
section = "## Performance\n\n" + table + "\n"
if "<!-- bench:start" in text:
    text = re.sub(r"<!-- bench:start.*?<!-- bench:end -->", table, text, flags=re.S)
else:
    text = text.rstrip("\n") + "\n\n" + section
open(readme, "w").write(text)
print(table)
PY
