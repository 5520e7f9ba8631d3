#!/usr/bin/env bash
# End to end under a real X server: the real moxy draws in a real window (checked in a
# screenshot taken with ImageMagick's import), ends when the window is closed, and reads
# a key pressed with xdotool.
#   runner_window.sh MOXY MAKE_E2E_PROGRAMS CLOSE_WINDOW
moxy=$1 make_programs=$2 close_window=$3
source "$(dirname "$0")/x_session.sh"
"$make_programs" "$work"

echo "drawing: a red box in the window, then closing it"
"$moxy" "$work/drawing.moxy" &
pid=$!; pids+=($pid)
window=$(window_named moxy-e2e-draw)
await_red "$window" 50 40 "inside the box"
outside=$(pixel "$window" 200 200)
[ "$outside" = "srgb(255,255,255)" ] || [ "$outside" = "white" ] || fail "outside the box: $outside"
"$close_window" "$window"
await "$pid"
[ "$status" = 0 ] || fail "moxy ended with status $status after its window was closed"

echo "keys: key A pressed in the real window"
"$moxy" "$work/keys.moxy" &
pid=$!; pids+=($pid)
window=$(window_named moxy-e2e-keys)
xdotool windowfocus --sync "$window"
xdotool key --delay 50 a
await "$pid"
[ "$status" = 0 ] || fail "moxy ended with status $status"
[ "$(cat "$work/keys.txt")" = $'pressed\r' ] || fail "keys.txt holds '$(cat "$work/keys.txt")'"
echo "1 passed, 0 failed"
