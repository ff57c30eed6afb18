#!/bin/sh
# Starts the simulated monitor, pins it to COM250 in PackMon's settings file
# for as long as it runs, and starts PackMon. Without a display, PackMon runs
# under Xvfb, logging from the simulator's port from the start, and a
# screenshot of its window goes to BUILD/run-screenshot.png, one of its
# Balance page to BUILD/run-balance.png.
set -eu

BUILD=${1:-build}
APP="$BUILD/app/PackMon"
SIM="$BUILD/tools/packmon-sim"
INI="$BUILD/app/PackMon.Ini"
COM=250

"$SIM" --interval 250 --bulk 120 --map-ini "$INI" --com $COM > "$BUILD/simulator.out" &
SIM_PID=$!
XVFB_PID=""
cleanup() {
    kill "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

tries=0
until [ -s "$BUILD/simulator.out" ] && grep -q "COM$COM=" "$INI" 2>/dev/null; do
    tries=$((tries + 1))
    [ $tries -gt 100 ] && { echo "run: the simulated monitor did not start" >&2; exit 1; }
    sleep 0.1
done
DEVICE=$(head -n 1 "$BUILD/simulator.out")
echo "Simulated monitor on $DEVICE, pinned to COM$COM."

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "PackMon logs from COM$COM; File > Sessions lists what the journal kept."
    "$APP" --port COM$COM
    exit 0
fi

echo "No display: running PackMon under Xvfb, logging from COM$COM."
# Xvfb picks a free display and writes its number to the file.
rm -f "$BUILD/xvfb.display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$BUILD/xvfb.display" > /dev/null 2>&1 &
XVFB_PID=$!
tries=0
until [ -s "$BUILD/xvfb.display" ]; do
    tries=$((tries + 1))
    [ $tries -gt 100 ] && { echo "run: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
export DISPLAY=":$(cat "$BUILD/xvfb.display")"
# ImageMagick's own convert: another may come first on the PATH.
CONVERT=$(command -v convert-im6.q16 || command -v convert)
COMPARE=$(command -v compare-im6.q16 || command -v compare)
# One run a page, the page chosen by PackMon itself: keys sent under a bare
# Xvfb reach no window.
shoot() {
    "$APP" --port COM$COM --page "$1" &
    APP_PID=$!
    WINDOW=$(xdotool search --sync --name '^PackMon$' | head -n 1)
    xdotool windowsize "$WINDOW" 900 600 windowmove "$WINDOW" 0 0
    sleep 10
    xwd -root -silent | "$CONVERT" xwd:- "$2"
    kill -TERM "$APP_PID"
    wait "$APP_PID" || true
}
shoot Graphs "$BUILD/run-screenshot.png"
echo "Screenshot of the running window: $BUILD/run-screenshot.png"
shoot Balance "$BUILD/run-balance.png"
# The Balance page is another picture than the chart, not the same one twice.
DIFFERENT=$("$COMPARE" -metric AE "$BUILD/run-screenshot.png" "$BUILD/run-balance.png" null: 2>&1 || true)
if [ "${DIFFERENT%% *}" -lt 10000 ] 2>/dev/null; then
    echo "run: the Balance page screenshot shows the chart ($DIFFERENT pixels differ)" >&2
    exit 1
fi
echo "Screenshot of the Balance page: $BUILD/run-balance.png"
if grep -q '^\$1;' "$BUILD/app/PackMon.PackMonComms"; then
    echo "PackMon logged $(grep -c '^\$1;' "$BUILD/app/PackMon.PackMonComms") live records from the simulated monitor."
else
    echo "run: PackMon received no records" >&2
    exit 1
fi
