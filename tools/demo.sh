#!/usr/bin/env bash
# The updater's main job, shown end to end under Wine: a machine with
# Tolvane 3.12 installed, the 3.13 release staged by the release tool, the
# updater run as a user would (Start, OK, Exit, Yes), and a before/after
# report with screenshots in build/demo/screenshots.
#   tools/demo.sh [--platform win95|win98|nt40|win2k|winxp] [--interactive]
# --interactive leaves the window to the person at $DISPLAY instead.
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

bash tools/setup.sh
cmake --preset i686 >/dev/null && cmake --build --preset i686 >/dev/null
cmake --preset x64 >/dev/null && cmake --build --preset x64 >/dev/null

demo="$root/build/demo"
export TOLVANE_WINE_ROOT="$demo/wine"
if [ "$interactive" = yes ]; then
    export TOLVANE_DISPLAY=${DISPLAY:?--interactive needs a display}
fi
bash tools/wine-stop.sh
rm -rf "$demo"
mkdir -p "$demo/screenshots"
run() { "$root/tools/wine-run.sh" "$@"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }
say() { printf '%s\n' "$*"; }

say "== Staging the sample 3.13 release with the release tool"
bash tools/make-sample-release.sh "$demo/release" | tail -1
product="$demo/release.product"

say "== Preparing a $platform machine with Tolvane 3.12 installed"
run reg add 'HKCU\Software\Wine\AppDefaults\TLUPDATE.exe' /v Version /d "$platform" /f >/dev/null
# A virtual desktop draws window captions for the screenshots.
run reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
run reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null
prefix="$TOLVANE_WINE_ROOT/prefix"
install="$prefix/drive_c/Program Files/Morvex/Tolvane"
system="$prefix/drive_c/windows/system32"
mkdir -p "$install" "$system/IOSUBSYS"
run "$root/build/x64/tools/release_tool.exe" list | tr -d '\r' | while IFS=$'\t' read -r group target staged placement; do
    if [ "$group" = App ] && [ "$target" != TOLVANE.EXE ]; then
        printf 'Tolvane 3.12 %s\r\n' "$target" > "$install/$target"
    fi
done
run "$root/build/x64/tests/make_main_exe.exe" 'C:\Program Files\Morvex\Tolvane\TOLVANE.EXE' "3, 1, 2, 0" 4345856
for f in TLCDDB.DB CHG.LOG MyDiscs.LST backup.lst; do printf 'user data in %s\r\n' "$f" > "$install/$f"; done
run reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\TOLVANE.EXE' /ve /d 'C:\Program Files\Morvex\Tolvane\TOLVANE.EXE' /f >/dev/null
run reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\TOLVANE.EXE' /v Path /d 'C:\Program Files\Morvex\Tolvane' /f >/dev/null
# The restart runs the machine's RunOnce entries; this one shows it happened.
run reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce' /v DemoRestarted /d 'C:\windows\system32\cmd.exe /c echo restarted> C:\restarted.txt' /f >/dev/null

before=$(cd "$install" && ls | sort | tr '\n' ' ')
say "installation folder before: C:\\Program Files\\Morvex\\Tolvane: $before"
say "main executable before: TOLVANE.EXE, $(stat -c %s "$install/TOLVANE.EXE") bytes, version 3, 1, 2, 0"

if [ "$interactive" = yes ]; then
    say "== The updater is on your display; close it to end the demo"
    run "$(winpath "$demo/release/TLUPDATE.exe")"
    exit 0
fi

say "== Running the updater: Start, OK, Exit, Yes"
run "$root/build/x64/tools/demo_driver.exe" "$(winpath "$demo/release/TLUPDATE.exe")" "$(winpath "$demo/screenshots")" yes | tr -d '\r'
for shot in "$demo"/screenshots/*.bmp; do
    /usr/bin/convert "$shot" -crop 800x600+0+0 "${shot%.bmp}.png" && rm -f "$shot"
done

say "== After the update"
replaced=0; unchanged=0
while IFS=$'\t' read -r group target staged placement; do
    [ "$group" = App ] || continue
    if cmp -s "$install/$target" "$product/$target"; then replaced=$((replaced + 1)); else unchanged=$((unchanged + 1)); say "not replaced: $target"; fi
done < <(run "$root/build/x64/tools/release_tool.exe" list | tr -d '\r')
say "program files replaced with the 3.13 release: $replaced of $((replaced + unchanged))"
case "$platform" in
    win95|win98) driver="IOSUBSYS/TVCDIO.VXD"; source="$product/IOSUBSYS/TVCDIO.VXD" ;;
    nt40) driver="drivers/TVPKT.SYS"; source="$product/Nt4Driver/Drivers/TVPKT.SYS" ;;
    *) driver="drivers/TVPKT.SYS"; source="$product/Nt5Driver/Drivers/TVPKT.SYS" ;;
esac
if cmp -s "$system/$driver" "$source"; then say "driver placed: system32\\${driver//\//\\}"; else say "driver NOT placed: $driver"; fi
left=$(cd "$install" && ls | grep -ci '^tl0[0-9][0-9]\.tmp$' || true)
say "staged copies left in the installation folder: $left"
say "settings written (HKCU\\Software\\Morvex\\Tolvane):"
run reg query 'HKCU\Software\Morvex\Tolvane' | tr -d '\r' | grep REG_ | sed 's/^ */  /'
data="$TOLVANE_WINE_ROOT/home/Tolvane Data"
say "data files moved to My Documents\\Tolvane Data: $(cd "$data" 2>/dev/null && ls | sort | tr '\n' ' ')"
say "data files left in the installation folder: $(cd "$install" && ls | grep -iE '\.(db|log|lst)$' | tr '\n' ' ')"
say "main executable after: TOLVANE.EXE, $(stat -c %s "$install/TOLVANE.EXE") bytes, version 3, 1, 3, 0 (same bytes as the release: $(cmp -s "$install/TOLVANE.EXE" "$product/TOLVANE.EXE" && echo yes || echo no))"
for _ in $(seq 1 60); do [ -f "$prefix/drive_c/restarted.txt" ] && break; sleep 1; done
if [ -f "$prefix/drive_c/restarted.txt" ]; then say "Windows restarted (the RunOnce entry ran)"; else say "Windows did not restart"; fi
say "screenshots: $(ls "$demo"/screenshots | tr '\n' ' ')(in build/demo/screenshots)"
bash tools/wine-stop.sh
