#!/usr/bin/env bash
# Runs the real program on a virtual display after a small run and saves a
# picture of its main window: scripts/screenshot.sh [out.png]
# (default docs/screenshot.png). Uses a Wine prefix of its own, in which Wine
# draws the window frames itself (there is no window manager).
set -euo pipefail
cd "$(dirname "$0")/.."
OUT="$(realpath -m "${1:-docs/screenshot.png}")"
scripts/setup.sh
source scripts/env.sh
if ! command -v import >/dev/null || ! command -v xwininfo >/dev/null; then
    echo "screenshot: installing imagemagick and x11-utils"
    apt-get install -y --no-install-recommends imagemagick x11-utils >/dev/null
fi
[ -f "$TANDREL_BUILD/Tandrel.exe" ] || tandrel_build Tandrel
export WINEPREFIX="$TANDREL_BUILD/screenshot-prefix"
fresh=0
[ -f "$WINEPREFIX/system.reg" ] || fresh=1
tandrel_prefix
unset DISPLAY
tandrel_display
WORK="$(mktemp -d)"
# The folders live on the prefix's C: drive, so the list shows short paths.
DATA="$WINEPREFIX/drive_c/例"
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -z "${TANDREL_XVFB_PID:-}" ] || kill "$TANDREL_XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK" "$DATA"
}
trap cleanup EXIT
if [ "$fresh" = 1 ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
fi

# A small tree to back up: two automatic settings and one never run.
source scripts/demo.sh
tandrel_demo "$DATA" "$WORK/Tandrel.ini"
cp "$TANDREL_BUILD/Tandrel.exe" "$WORK/"

# "/start": the automatic settings are updated and the window stays.
(cd "$WORK" && wine Tandrel.exe /start </dev/null >/dev/null 2>&1 &)
done_runs=0
for _ in $(seq 120); do
    done_runs=$(iconv -f UTF-16LE -t UTF-8 "$WORK/Tandrel.ini" 2>/dev/null | grep -c '^Errors=0' || true)
    [ "$done_runs" -ge 2 ] && break
    sleep 0.5
done
[ "$done_runs" -ge 2 ] || { echo "screenshot: the run did not finish" >&2; exit 1; }
sleep 1.5
id="$(xwininfo -root -tree | grep '"Tandrel Unicode"' | head -1 | awk '{print $1}')"
[ -n "$id" ] || { echo "screenshot: no main window" >&2; exit 1; }
mkdir -p "$(dirname "$OUT")"
import -window "$id" "$OUT"
echo "screenshot: $OUT"
