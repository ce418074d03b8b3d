#!/usr/bin/env bash
# Runs Perchlet under Wine with the sample batch file (or the arguments given). Without a
# desktop it brings its own: a virtual display with a system tray, which it shows as a
# screenshot path when the icons are up. PERCHLET_ARCH=x86 runs the 32-bit build in a 32-bit
# prefix (default x64, in a 64-bit one).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
arch=${PERCHLET_ARCH:-x64}
case "$arch" in x64 | x86) ;; *) echo "PERCHLET_ARCH must be x64 or x86" >&2; exit 2 ;; esac

bash scripts/install-deps.sh
bash scripts/build.sh "windows-$arch"

if [ "$arch" = x86 ]; then
    export WINEARCH=win32 WINEPREFIX="${WINEPREFIX:-$HOME/.perchlet-wine-x86}"
    loader=/usr/lib/wine/wine
else
    # With wine32 installed the plain `wine` is the 32-bit loader, which in a 64-bit prefix runs
    # the 32-bit programs and sees the 32-bit registry view: wine64's own loader instead.
    export WINEARCH=win64 WINEPREFIX="${WINEPREFIX:-$HOME/.perchlet-wine}"
    loader=$(dpkg -L wine64 | grep -m 1 '/wine64$')
fi
export WINELOADER=$loader
export WINEDEBUG="${WINEDEBUG:--all}"
started=()
cleanup() {
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
    started+=($!)
    export DISPLAY=$display
    sleep 1
    trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
    started+=($!)
    echo "Virtual display $DISPLAY with a system tray; screenshot: DISPLAY=$DISPLAY import -window root shot.png"
fi

# A prefix fits only the Wine packages that made it: a 64-bit one made before wine32 was
# installed starts nothing once it is ("could not load kernel32.dll"). This script's own prefix
# is made anew when they change; one given in WINEPREFIX is only told about.
made_by="$arch $(dpkg-query -W -f='${Package}:${Architecture}=${Version} ' wine64 wine32:i386 2>/dev/null || true)"
stamp="$WINEPREFIX/.perchlet-made-by"
if [ -d "$WINEPREFIX/drive_c" ] && [ "$(cat "$stamp" 2>/dev/null)" != "$made_by" ]; then
    case "$WINEPREFIX" in
        "$HOME/.perchlet-wine" | "$HOME/.perchlet-wine-x86")
            echo "Making $WINEPREFIX anew for the Wine now installed"
            wineserver -k 2>/dev/null || true
            rm -rf "$WINEPREFIX" ;;
        *) echo "Note: $WINEPREFIX was not made by this script for the Wine now installed" >&2 ;;
    esac
fi
if [ ! -d "$WINEPREFIX/drive_c" ]; then
    "$loader" wineboot -i >/dev/null 2>&1
    wineserver -w
    echo "$made_by" >"$stamp"
fi

folder="$WINEPREFIX/drive_c/Perchlet"
mkdir -p "$folder"
cp "build/windows-$arch/Perchlet.exe" "$folder/"
cp examples/Perchlet.ini "$folder/"
cp examples/sample-batch.txt "$folder/"

if [ $# -eq 0 ]; then
    set -- '/BATCH:C:\Perchlet\sample-batch.txt'
fi
echo "Starting Perchlet $*  (right-click an icon and choose 'Exit Perchlet...' to end)"
"$loader" 'C:\Perchlet\Perchlet.exe' "$@" >"$root/build/perchlet-run.log" 2>&1
wineserver -w 2>/dev/null || true
log=$(find "$WINEPREFIX/drive_c/users" -name Perchlet.log 2>/dev/null | head -n 1)
[ -n "$log" ] && { echo "Trace log: $log"; tail -n 20 "$log"; }
