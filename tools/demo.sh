#!/usr/bin/env bash
# The updater's main job, shown end to end under Wine as a Japanese Windows
# user sees it: the 3.13 release staged by the release tool, a machine
# without Tolvane (the updater says so), then the same machine with Tolvane
# 3.12 installed, updated as a user would (Start, OK, Exit, Yes), and a
# before/after report with screenshots in build/demo/screenshots.
#   tools/demo.sh [--platform win95|win98|nt40|win2k|winxp] [--interactive]
# --interactive leaves the window to the person at $DISPLAY instead.
#
# The updater run is the shipped i686 TLUPDATE.exe out of the staged release,
# under 32-bit Wine in a pure 32-bit prefix, where this machine's kernel runs
# 32-bit programs; elsewhere the x86_64 build of the same sources under wine64,
# and the report says so. Windows' Japanese dialog font, a proportional one,
# is mapped to IPA P Gothic, and every window opens on a Wine desktop of its
# own, which draws captions.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
platform=winxp
interactive=no
while [ $# -gt 0 ]; do
    case "$1" in
        --platform) platform=$2; shift 2 ;;
        --interactive) interactive=yes; shift ;;
        *) echo "usage: tools/demo.sh [--platform win95|win98|nt40|win2k|winxp] [--interactive]" >&2; exit 2 ;;
    esac
done
case "$platform" in win95|win98|nt40|win2k|winxp) ;; *) echo "demo: unknown platform $platform" >&2; exit 2 ;; esac

bash tools/setup.sh
cmake --preset i686 >/dev/null && cmake --build --preset i686 >/dev/null
cmake --preset x64 >/dev/null && cmake --build --preset x64 >/dev/null

demo="$root/build/demo"
export TOLVANE_WINE_ROOT="$demo/wine"
if [ "$interactive" = yes ]; then
    export TOLVANE_DISPLAY=${DISPLAY:?--interactive needs a display}
fi
source tools/shipped-build.sh
ran="the shipped i686 TLUPDATE.exe from the staged release, under 32-bit Wine (pure 32-bit prefix)"
[ -z "$flag" ] && ran="the x86_64 build of the same sources under wine64, in a copy of the staged release; the shipped i686 build was not run: $reason"
bash tools/wine-stop.sh $flag
rm -rf "$demo"
mkdir -p "$demo/screenshots"
run() { "$root/tools/wine-run.sh" $flag "$@"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }
say() { printf '%s\n' "$*"; }
report="$demo/driver-report.txt"
: >"$report"
# Each program of the run opens on a Wine desktop of its own; unlike the
# default desktop, it draws window captions.
on_desktop() { run explorer /desktop=TolvaneDemo,800x600 "$@"; }
driver() { on_desktop "$(winpath "$build/tools/demo_driver.exe")" "$@"; }

say "== Staging the sample 3.13 release with the release tool"
bash tools/make-sample-release.sh --build "$build" "$demo/release" | tail -1
say "release check: $(run "$build/tools/release_tool.exe" check "$(winpath "$demo/release")" | tr -d '\r' | tail -1)"
product="$demo/release.product"
updater_folder="$demo/release"
if [ -z "$flag" ]; then
    # This machine cannot run the shipped updater: run the x86_64 build from
    # a copy of the release that differs only in the updater.
    cp -r "$demo/release" "$demo/release-x64"
    cp "$root/build/x64/TLUPDATE.exe" "$demo/release-x64/TLUPDATE.exe"
    updater_folder="$demo/release-x64"
fi
updater="$(winpath "$updater_folder/TLUPDATE.exe")"

say "== A $platform machine without Tolvane"
run reg add 'HKCU\Software\Wine\AppDefaults\TLUPDATE.exe' /v Version /d "$platform" /f >/dev/null
# Windows draws this dialog in "ＭＳ Ｐゴシック" and message boxes in the
# system's UI font, both proportional; Wine's stand-in for them is fixed-pitch.
for face in 'ＭＳ Ｐゴシック' 'MS UI Gothic'; do
    run reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null
done
# The restart runs the machine's RunOnce entries; this one shows it happened.
run reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce' /v DemoRestarted /d 'C:\windows\system32\cmd.exe /c echo restarted> C:\restarted.txt' /f >/dev/null
# Programs started from here on see the fonts and the desktop from the start.
bash tools/wine-stop.sh $flag

if [ "$interactive" = yes ]; then
    say "== The updater is on your display; close it to end the demo"
    run "$updater"
    exit 0
fi

driver not-installed "$updater" "$(winpath "$demo/screenshots")" "$(winpath "$report")" >/dev/null || true
cat "$report"; : >"$report"

say "== The same machine with Tolvane 3.12 installed"
prefix="$TOLVANE_WINE_ROOT/prefix"
install="$prefix/drive_c/Program Files/Morvex/Tolvane"
system="$prefix/drive_c/windows/system32"
mkdir -p "$install" "$system/IOSUBSYS"
run "$build/tools/release_tool.exe" list | tr -d '\r' | while IFS=$'\t' read -r group target staged placement; do
    if [ "$group" = App ] && [ "$target" != TOLVANE.EXE ]; then
        printf 'Tolvane 3.12 %s\r\n' "$target" > "$install/$target"
    fi
done
run "$build/tests/make_main_exe.exe" 'C:\Program Files\Morvex\Tolvane\TOLVANE.EXE' "3, 1, 2, 0" 4345856
for f in TLCDDB.DB CHG.LOG MyDiscs.LST backup.lst; do printf 'user data in %s\r\n' "$f" > "$install/$f"; done
run reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\TOLVANE.EXE' /ve /d 'C:\Program Files\Morvex\Tolvane\TOLVANE.EXE' /f >/dev/null
run reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\TOLVANE.EXE' /v Path /d 'C:\Program Files\Morvex\Tolvane' /f >/dev/null
before=$(cd "$install" && ls | sort | tr '\n' ' ')
say "installation folder before: C:\\Program Files\\Morvex\\Tolvane: $before"
say "main executable before: TOLVANE.EXE, $(stat -c %s "$install/TOLVANE.EXE") bytes, version 3, 1, 2, 0"

say "== The one-line labels in the dialog's own font"
driver labels "$updater" "$(winpath "$report")" >/dev/null || true
cat "$report"; : >"$report"

say "== Running the updater: Start, OK, Exit, Yes"
say "updater run: $ran; platform family $platform"
driver update "$updater" "$(winpath "$demo/screenshots")" "$(winpath "$report")" yes >/dev/null || true
cat "$report"
for shot in "$demo"/screenshots/*.bmp; do
    /usr/bin/convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done

say "== After the update"
replaced=0; unchanged=0
while IFS=$'\t' read -r group target staged placement; do
    [ "$group" = App ] || continue
    if cmp -s "$install/$target" "$product/$target"; then replaced=$((replaced + 1)); else unchanged=$((unchanged + 1)); say "not replaced: $target"; fi
done < <(run "$build/tools/release_tool.exe" list | tr -d '\r')
say "program files replaced with the 3.13 release: $replaced of $((replaced + unchanged))"
case "$platform" in
    win95|win98) driver_file="IOSUBSYS/TVCDIO.VXD"; source="$product/IOSUBSYS/TVCDIO.VXD" ;;
    nt40) driver_file="drivers/TVPKT.SYS"; source="$product/Nt4Driver/Drivers/TVPKT.SYS" ;;
    *) driver_file="drivers/TVPKT.SYS"; source="$product/Nt5Driver/Drivers/TVPKT.SYS" ;;
esac
if cmp -s "$system/$driver_file" "$source"; then say "driver placed: system32\\${driver_file//\//\\}"; else say "driver NOT placed: $driver_file"; fi
left=$(cd "$install" && ls | grep -ciE '^tl0[0-9][0-9]\.(tmp|old)$|^ver[0-9a-f]{1,4}\.tmp$' || true)
say "staged, set-aside or temporary copies left in the installation folder: $left"
if grep -q "正常に終了" "$report" 2>/dev/null; then
    say "staged files verified: the updater checked each staged copy against the release's TLFILES.DAT (size and CRC-32) before it replaced its target, and finished with the success message"
else
    say "staged files: the run did not finish with the success message (see the messages above)"
fi
say "settings written (HKCU\\Software\\Morvex\\Tolvane):"
run reg query 'HKCU\Software\Morvex\Tolvane' | tr -d '\r' | iconv -f cp932 -t utf-8 | grep REG_ | sed 's/^ */  /'
data="$TOLVANE_WINE_ROOT/home/Tolvane Data"
say "data files moved to My Documents\\Tolvane Data: $(cd "$data" 2>/dev/null && ls | sort | tr '\n' ' ')"
say "data files left in the installation folder: $(cd "$install" && ls | grep -iE '\.(db|log|lst)$' | tr '\n' ' ')"
say "main executable after: TOLVANE.EXE, $(stat -c %s "$install/TOLVANE.EXE") bytes, version 3, 1, 3, 0 (same bytes as the release: $(cmp -s "$install/TOLVANE.EXE" "$product/TOLVANE.EXE" && echo yes || echo no))"
for _ in $(seq 1 60); do [ -f "$prefix/drive_c/restarted.txt" ] && break; sleep 1; done
if [ -f "$prefix/drive_c/restarted.txt" ]; then say "Windows restarted (the RunOnce entry ran)"; else say "Windows did not restart"; fi
say "updater run: $ran; platform family $platform"
say "screenshots: $(ls "$demo"/screenshots | tr '\n' ' ')(in build/demo/screenshots)"
bash tools/wine-stop.sh $flag
