#!/usr/bin/env bash
# End to end under a real X server: the real moxy draws in a real window (checked in a
# screenshot taken with ImageMagick's import), ends when the window is closed, and reads
# a key pressed with xdotool.
#   runner_window.sh MOXY MAKE_E2E_PROGRAMS CLOSE_WINDOW
set -euo pipefail
moxy=$1 make_programs=$2 close_window=$3
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A display of our own, whichever number is free.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM
"$make_programs" "$work"

# Waits (up to 20 s) for a window named $1 and prints its id.
window_named() {
    local id
    id=$(timeout 20 xdotool search --sync --name "^$1\$" | head -n1) || fail "no window named $1"
    echo "$id"
}
# Waits (up to 20 s) for process $1, a child of this shell, to end; sets $status.
await() {
    for _ in $(seq 400); do
        if ! kill -0 "$1" 2>/dev/null; then
            status=0
            wait "$1" || status=$?
            return
        fi
        sleep 0.05
    done
    fail "process $1 did not end"
}
# The colour of pixel (x, y) of window $1, as ImageMagick writes it.
pixel() {
    import -window "$1" "$work/shot.png" 2>/dev/null || return 1
    convert "$work/shot.png" -format "%[pixel:p{$2,$3}]" info:
}

echo "drawing: a red box in the window, then closing it"
"$moxy" "$work/drawing.moxy" &
pid=$!; pids+=($pid)
window=$(window_named moxy-e2e-draw)
for _ in $(seq 200); do
    colour=$(pixel "$window" 50 40 || true)
    [ "$colour" = "srgb(255,0,0)" ] || [ "$colour" = "red" ] && break
    sleep 0.05
done
[ "$colour" = "srgb(255,0,0)" ] || [ "$colour" = "red" ] || fail "inside the box: $colour"
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
