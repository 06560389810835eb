#!/usr/bin/env bash
# One command, one run: the updater's installation phase against two
# baselines on the same files (plain CopyFileA copies, and the least that the
# updater's design needs: VerInstallFileA, DeleteFileA and MoveFileA per row,
# with the same single message box), where its time goes, its start-up
# against a minimal dialog program built the same way, and the size of the
# shipped i686 executable. The installed 3.12 that each run starts from
# holds data files of realistic sizes (a 20 MB database, a 2 MB change log,
# three list files of tens of KB) for the data migration to move. Everything
# runs side by side in one Wine prefix on this machine, 5 times each,
# alternating; the table (median and range) replaces the README's
# "Performance" section.
#
# The build measured is the shipped i686 one under 32-bit Wine where this
# machine's kernel runs 32-bit programs, the x86_64 build under wine64
# elsewhere; the table says which.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
runs=${BENCH_RUNS:-5}

bash tools/setup.sh
cmake --preset i686 >/dev/null && cmake --build --preset i686 >/dev/null
cmake --preset x64 >/dev/null && cmake --build --preset x64 >/dev/null

source tools/shipped-build.sh
measured="The shipped i686 build under 32-bit Wine (pure 32-bit prefix)"
[ -z "$flag" ] && measured="The x86_64 build under wine64 (the shipped i686 build could not run: $reason)"
bench="$root/build/bench"
export TOLVANE_WINE_ROOT="$bench/wine"
bash tools/wine-stop.sh $flag
rm -rf "$bench"
mkdir -p "$bench"
run() { "$root/tools/wine-run.sh" $flag "$@"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

echo "== sample 3.13 release (realistic sizes), staged by the release tool"
bash tools/make-sample-release.sh --build "$build" "$bench/release" | tail -1
[ "$build" = "$root/build/x64" ] && cp build/x64/TLUPDATE.exe "$bench/release/TLUPDATE.exe"
cp "$build"/bench/bench_baseline.exe "$build"/bench/bench_phases.exe "$bench/release/"
release_bytes=$(cat "$bench"/release/tl*.tmp "$bench"/release/TL032.TMP | wc -c)
run reg add 'HKCU\Software\Wine\AppDefaults\TLUPDATE.exe' /v Version /d winxp /f >/dev/null
run reg add 'HKCU\Software\Wine\AppDefaults\bench_baseline.exe' /v Version /d winxp /f >/dev/null
run reg add 'HKCU\Software\Wine\AppDefaults\bench_phases.exe' /v Version /d winxp /f >/dev/null

# An installed Tolvane 3.12, restored before every run.
prefix="$TOLVANE_WINE_ROOT/prefix"
template="$bench/installed-3.12"
install="$prefix/drive_c/Tolvane"
mkdir -p "$template"
run "$build/tools/release_tool.exe" list | tr -d '\r' > "$bench/rows"
while IFS=$'\t' read -r group target staged placement; do
    if [ "$group" = App ] && [ "$target" != TOLVANE.EXE ]; then
        head -c 200000 /dev/zero | tr '\0' 'o' > "$template/$target"
    fi
done < "$bench/rows"
run "$build/tests/make_main_exe.exe" "$(winpath "$template/TOLVANE.EXE")" "3, 1, 2, 0" 4345856
# The user's data files, moved by the data migration.
while read -r name bytes; do
    head -c "$bytes" /dev/zero | tr '\0' 'd' > "$template/$name"
done <<'DATA'
TLCDDB.DB 20000000
CHG.LOG 2000000
A.LST 40000
B.LST 25000
C.LST 60000
DATA
data_bytes=$(cat "$template"/TLCDDB.DB "$template"/CHG.LOG "$template"/*.LST | wc -c)
run reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\TOLVANE.EXE' /v Path /d 'C:\Tolvane' /f >/dev/null
reset_machine() {
    rm -rf "$install" "$TOLVANE_WINE_ROOT/home/Tolvane Data"
    cp -r "$template" "$install"
    run reg delete 'HKCU\Software\Morvex' /f >/dev/null 2>&1 || true
}
driver() { run "$build/bench/bench_driver.exe" "$@" | tr -d '\r'; }

echo "== installation phase: updater, VerInstallFileA loop and CopyFileA baselines, $runs runs each"
updater_times=(); verinstall_times=(); copy_times=(); unanswered=()
for i in $(seq 1 "$runs"); do
    reset_machine
    # The run's time, and the longest the window took to answer a probe.
    measured_run=$(driver install "$(winpath "$bench/release/TLUPDATE.exe")")
    updater_times+=("${measured_run%% *}")
    unanswered+=("${measured_run##* }")
    reset_machine
    verinstall_times+=("$(driver baseline "$(winpath "$bench/release/bench_baseline.exe")" verinstall 'C:\Tolvane')")
    reset_machine
    copy_times+=("$(driver baseline "$(winpath "$bench/release/bench_baseline.exe")" copy 'C:\Tolvane')")
    echo "run $i: updater ${updater_times[-1]} ms (longest unanswered ${unanswered[-1]} ms), VerInstallFileA loop ${verinstall_times[-1]} ms, CopyFileA ${copy_times[-1]} ms"
done

echo "== where the installation phase goes, $runs runs"
phase_runs=()
for i in $(seq 1 "$runs"); do
    reset_machine
    rm -rf "$bench"/release/phase-*
    phase_runs+=("$(run "$(winpath "$bench/release/bench_phases.exe")" | tr -d '\r')")
    echo "run $i: lookup, staged files, settings, migration, box, bar moves, VerInstallFileA alone, CopyFileA alone, check, staged flushes, data flushes (ms): ${phase_runs[-1]}"
done
rm -rf "$bench"/release/phase-*

echo "== start-up to an idle window, $runs runs each"
startup_times=(); minimal_times=()
for i in $(seq 1 "$runs"); do
    startup_times+=("$(driver startup "$(winpath "$bench/release/TLUPDATE.exe")" updater)")
    minimal_times+=("$(driver startup "$(winpath "$build/bench/bench_minimal.exe")" Minimal)")
    echo "run $i: updater ${startup_times[-1]} ms, minimal ${minimal_times[-1]} ms"
done
bash tools/wine-stop.sh $flag
# The run in which the window took longest to answer a probe.
worst=0
for i in "${!unanswered[@]}"; do
    [ "${unanswered[$i]}" -ge "${unanswered[$worst]}" ] && worst=$i
done
echo "longest unanswered: ${unanswered[$worst]} ms of a ${updater_times[$worst]%.*} ms run"

artifact=$(python3 tests/artifact/check_artifact.py build/i686/TLUPDATE.exe ../shared/win95-imports.txt --report)
machine="$(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB, Wine $(dpkg-query -W -f='${Version}' wine64)"

python3 - "$root/README.md" "$runs" "$release_bytes" "$data_bytes" "$machine" "$artifact" "$measured" \
    "${updater_times[*]}" "${verinstall_times[*]}" "${copy_times[*]}" "${startup_times[*]}" "${minimal_times[*]}" \
    "$(printf '%s;' "${phase_runs[@]}")" "${unanswered[*]}" <<'PY'
import re, statistics, sys, datetime
readme, runs, release_bytes, data_bytes, machine, artifact, measured = sys.argv[1:8]
series = [[float(x) for x in s.split()] for s in sys.argv[8:13]]
phases = [[float(x) for x in r.split()] for r in sys.argv[13].split(";") if r.strip()]
unanswered = [float(x) for x in sys.argv[14].split()]
worst = max(range(len(unanswered)), key=lambda i: unanswered[i])
phase = [statistics.median(col) for col in zip(*phases)]
med = statistics.median
def fmt(xs):
    return "%.0f ms (%.0f to %.0f)" % (med(xs), min(xs), max(xs))
upd, verloop, copy, start, minimal = series
(lookup, files, settings, migration, box, bar, ver_alone, copy_alone,
 check, staged_flushes, data_flushes) = phase
accounted = lookup + files + settings + migration + box
size_line = [l for l in artifact.splitlines() if "bytes in all" in l][0].split(": ", 1)[1]
imports_line = [l for l in artifact.splitlines() if l.startswith("imports:")][0].split(": ", 1)[1]
table = f"""<!-- bench:start (written by tools/bench.sh) -->
Measured by `tools/bench.sh` on {datetime.date.today()}: {machine}.
{measured}, Windows XP family, one Wine prefix, {runs} runs of each,
alternating; median and range. Release: the sample 3.13 release staged by
the release tool at realistic sizes, {int(release_bytes) / 1e6:.1f} MB of staged files; the
installed 3.12 holds {int(data_bytes) / 1e6:.1f} MB of data files for the data migration.

| measurement | time | updater's time as a multiple |
|---|---|---|
| installation phase of the updater (Start press to the success box) | {fmt(upd)} | |
| the least this design needs: `VerInstallFileA`, `DeleteFileA`, `MoveFileA` per row, the same box | {fmt(verloop)} | {med(upd) / med(verloop):.2f} |
| plain `CopyFileA` of the same files, the same box | {fmt(copy)} | {med(upd) / med(copy):.2f} (target at most 1.15) |
| longest the window took to answer a probe (every 100 ms) during the installation phase | {unanswered[worst]:.0f} ms, of a {upd[worst]:.0f} ms run | |
| start-up to an idle window: updater | {fmt(start)} | |
| start-up: minimal dialog program, built the same way | {fmt(minimal)} | {med(start) / med(minimal):.2f} |

Where the updater's installation phase goes (medians, timed inside one
process with the updater's own code and its dialog on screen): lookup
{lookup:.0f} ms, staged files {files:.0f} ms, settings {settings:.0f} ms, data migration
{migration:.0f} ms ({100 * migration / accounted:.0f}% of the steps' sum), the success box {box:.0f} ms from its call until it is active on
screen: {accounted:.0f} ms in all, against {med(upd):.0f} ms measured from outside. The
34 moves of the progress bar, which the dialog's thread paints while the
work goes on, take {bar:.0f} ms on their own; within the staged files, the copy step alone on the same files takes {ver_alone:.0f} ms with
`VerInstallFileA` and {copy_alone:.0f} ms with `CopyFileA`. The check of the
copies against the release's list (loading `TLFILES.DAT`, then reading each
fresh copy whole for its CRC-32 and flushing it to the disk) takes {check:.0f} ms,
and the flushes alone (`FlushFileBuffers` on each fresh copy) {staged_flushes:.0f} ms.
Within the data migration, the flushes alone of fresh copies of the data
files take {data_flushes:.0f} ms. The flushes add some {staged_flushes + data_flushes:.0f} ms to the installation phase in all.

Shipped i686 `TLUPDATE.exe`: {size_line} (limit 79872 bytes, checked by
`ctest --preset i686 -L artifact`). Imported functions per DLL: {imports_line}; every one
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
