#!/usr/bin/env bash
# Runs Perchlet under Wine with the sample batch file (or the arguments given). Without a
# desktop it brings its own: a virtual display with a system tray, which it shows as a
# screenshot path when the icons are up.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh
bash scripts/build.sh windows-x64

export WINEPREFIX="${WINEPREFIX:-$HOME/.perchlet-wine}"
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

[ -d "$WINEPREFIX/drive_c" ] || { wineboot -i >/dev/null 2>&1; wineserver -w; }

folder="$WINEPREFIX/drive_c/Perchlet"
mkdir -p "$folder"
cp build/windows-x64/Perchlet.exe "$folder/"
cp examples/Perchlet.ini "$folder/"
cp examples/sample-batch.txt "$folder/"

if [ $# -eq 0 ]; then
    set -- '/BATCH:C:\Perchlet\sample-batch.txt'
fi
echo "Starting Perchlet $*  (right-click an icon and choose 'Exit Perchlet...' to end)"
wine 'C:\Perchlet\Perchlet.exe' "$@" >"$root/build/perchlet-run.log" 2>&1
wineserver -w 2>/dev/null || true
log=$(find "$WINEPREFIX/drive_c/users" -name Perchlet.log 2>/dev/null | head -n 1)
[ -n "$log" ] && { echo "Trace log: $log"; tail -n 20 "$log"; }
