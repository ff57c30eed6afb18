#!/bin/sh
# Drives the real window under Xvfb with simulated input: connects to the
# simulated monitor through Comms > COMPort, watches readings arrive, opens a
# capture through its recent-file item, exports CSV through the dialog,
# closes the window and checks the exit files.
set -eu

BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$2" && pwd)
WORK=$(mktemp -d)
SIM_PID=""; XVFB_PID=""; APP_PID=""
cleanup() {
    for P in $APP_PID $SIM_PID $XVFB_PID; do kill "$P" 2>/dev/null || true; done
    for P in $APP_PID $SIM_PID $XVFB_PID; do wait "$P" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "end-to-end: $*"; exit 1; }
# wait_until SECONDS COMMAND...: polls every 0.1 s until COMMAND succeeds.
wait_until() {
    limit=$(($1 * 10)); shift; tries=0
    until "$@"; do
        tries=$((tries + 1)); [ $tries -gt $limit ] && return 1; sleep 0.1
    done
}

cp "$BUILD/app/PackMon" "$WORK/PackMon"
cp "$SOURCE/examples/Sample.PackMonComms" "$WORK/sample.PackMonComms"
printf '[CommsMRU]\nMRU0=%s\n' "$WORK/sample.PackMonComms" > "$WORK/PackMon.Ini"
"$BUILD/tools/packmon-sim" --interval 100 --hold --map-ini "$WORK/PackMon.Ini" --com 250 > "$WORK/sim.out" &
SIM_PID=$!
tries=0
until grep -q "COM250=" "$WORK/PackMon.Ini" 2>/dev/null; do
    tries=$((tries + 1)); [ $tries -gt 100 ] && fail "the simulator did not start"; sleep 0.1
done

# Xvfb picks a free display and writes its number to the file.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$WORK/display" > /dev/null 2>&1 &
XVFB_PID=$!
wait_until 20 test -s "$WORK/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$WORK/display")"
QT_QPA_PLATFORM=xcb "$WORK/PackMon" > "$WORK/app.log" 2>&1 &
APP_PID=$!
WINDOW=$(timeout 20 xdotool search --sync --name '^PackMon$' | head -n 1)
[ -n "$WINDOW" ] || fail "no window"
xdotool windowsize "$WINDOW" 900 600 windowmove "$WINDOW" 0 0
sleep 1

# Comms (after File) > COMPort > the last port listed, the simulator's COM250.
xdotool mousemove 65 10 click 1; sleep 1
xdotool key Down key Right; sleep 4
xdotool key Up key Return; sleep 3
# Readings arrive: the grid's time cell changes from one second to the next.
xwd -root -silent > "$WORK/before.xwd"
changed() { xwd -root -silent > "$WORK/after.xwd"; ! cmp -s "$WORK/before.xwd" "$WORK/after.xwd"; }
wait_until 20 changed || fail "the window did not change while logging"

# Comms > the recent capture (the menu's last item).
xdotool mousemove 65 10 click 1; sleep 1
xdotool key Up key Return; sleep 3

# Graphs > Export, and the dialog's file name.
xdotool mousemove 125 10 click 1; sleep 1
xdotool key Down Down Down Down Return; sleep 2
xdotool type --delay 20 "$WORK/export"; xdotool key Return
wait_until 20 test -s "$WORK/export.CSV" || fail "no CSV export"

kill -TERM "$APP_PID"
wait "$APP_PID" || fail "PackMon did not end cleanly"
APP_PID=""

cmp -s "$WORK/PackMon.PackMonComms" "$WORK/sample.PackMonComms" || fail "the exit capture is not the opened capture"
GRAPHS=$(wc -c < "$WORK/PackMon.PackMonGraphs")
[ "$GRAPHS" -eq $((63 + 2 * 9 * 300)) ] || fail "graph exit file of $GRAPHS bytes"
[ -f "$WORK/PackMon.Errors" ] || fail "no errors file"
[ -f "$WORK/export.CSV" ] || fail "no CSV export"
[ "$(grep -c . "$WORK/export.CSV")" -eq 301 ] || fail "the export has $(grep -c . "$WORK/export.CSV") lines"
echo "end-to-end: connected, logged, reopened a recent capture, exported and closed"
