#!/bin/sh
# Builds the Debian package, unpacks it into a scratch root, starts the
# installed PackMon offscreen as a user who cannot write to its folder, and
# checks that its settings and exit files go to that user's folders.
set -eu

BUILD=$(cd "$1" && pwd)
WORK=$(mktemp -d)
cleanup() { chmod -R u+w "$WORK" 2>/dev/null || true; rm -rf "$WORK"; }
trap cleanup EXIT
chmod 755 "$WORK"

(cd "$BUILD" && cpack -G DEB -B "$WORK/package" > "$WORK/cpack.log") || { cat "$WORK/cpack.log"; exit 1; }
DEB=$(ls "$WORK"/package/*.deb)
dpkg-deb -f "$DEB" Depends | grep -q libqt6widgets6 || { echo "the package does not depend on Qt Widgets"; exit 1; }
dpkg -x "$DEB" "$WORK/root"
chmod -R a-w "$WORK/root/usr"
mkdir -m 777 "$WORK/home"

AS_USER=""
if [ "$(id -u)" -eq 0 ]; then
    # root writes everywhere: run as nobody, as a user would.
    AS_USER="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
env -i HOME="$WORK/home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
    $AS_USER "$WORK/root/usr/bin/PackMon" > "$WORK/run.log" 2>&1 &
PID=$!

# Ready once it handles SIGTERM itself.
tries=0
while :; do
    mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$PID/status" 2>/dev/null || true)
    [ -n "$mask" ] && [ $((0x$mask & 0x4000)) -ne 0 ] && break
    tries=$((tries + 1))
    if [ $tries -gt 200 ]; then
        echo "the installed PackMon did not start"; cat "$WORK/run.log"; kill "$PID" 2>/dev/null || true; exit 1
    fi
    sleep 0.1
done
kill -TERM "$PID"
wait "$PID"

for FILE in .config/PackMon/PackMon.Ini .local/share/PackMon/PackMon.PackMonComms \
            .local/share/PackMon/PackMon.PackMonGraphs .local/share/PackMon/PackMon.Errors; do
    [ -f "$WORK/home/$FILE" ] || { echo "missing: ~/$FILE"; ls -laR "$WORK/home"; cat "$WORK/run.log"; exit 1; }
done
grep -q '^BatteryVolts=0' "$WORK/home/.config/PackMon/PackMon.Ini"
[ ! -e "$WORK/root/usr/bin/PackMon.Ini" ]
echo "installed PackMon keeps its files in the user's folders"
