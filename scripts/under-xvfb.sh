#!/bin/sh
# PackMon - battery-pack cell-voltage logger
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Runs a command against a real X server of its own: Xvfb on a free display.
#   sh scripts/under-xvfb.sh COMMAND [ARGUMENT...]
set -eu
WORK=$(mktemp -d)
trap 'kill "$XVFB" 2>/dev/null || true; rm -rf "$WORK"' EXIT INT TERM
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3> "$WORK/display" > /dev/null 2>&1 &
XVFB=$!
for _ in $(seq 100); do
    [ -s "$WORK/display" ] && break
    sleep 0.1
done
[ -s "$WORK/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=":$(cat "$WORK/display")" QT_QPA_PLATFORM=xcb "$@"
