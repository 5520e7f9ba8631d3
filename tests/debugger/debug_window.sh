#!/usr/bin/env bash
# Under a real X server (Xvfb with openbox): the real `moxy --debug-adapter` stops the game in
# its runner window, which shows the frame drawn so far while the program is stopped; closing
# the window ends the program, and the adapter goes on until disconnect.
#   debug_window.sh MOXY GAME_MOXY GAME_SOURCE CLOSE_WINDOW
source "$(dirname "$0")/../e2e/x_session.sh"
start_openbox
mkfifo "$work/in"
"$1" --debug-adapter <"$work/in" >"$work/out" &
adapter=$!
pids+=($adapter)
exec 4>"$work/in"
number=0
send() {
    local body="{\"seq\":$((++number)),\"type\":\"request\",\"command\":\"$1\",\"arguments\":${2:-{\}}}"
    printf 'Content-Length: %d\r\n\r\n%s' "${#body}" "$body" >&4
}
# Waits (up to 20 s) until the adapter has sent $1.
sent() {
    for _ in $(seq 400); do grep -q -- "$1" "$work/out" && return; sleep 0.05; done
    fail "the adapter did not send $1: $(cat "$work/out")"
}

line=$(grep -n '^doevents' "$3" | head -n1 | cut -d: -f1)
send initialize '{"adapterID":"moxy"}'
send launch "{\"program\":\"$2\",\"seed\":1}"
send setBreakpoints "{\"source\":{\"path\":\"$3\"},\"lines\":[$line]}"
send configurationDone
sent '"reason":"breakpoint"'
window=$(window_named 'Catch the ball!')
# The paddle (blue, rows 222 to 224 from x 141) differs from the empty middle of the window.
shown=
for _ in $(seq 200); do
    paddle=$(pixel "$window" 160 223 || true)
    empty=$(pixel "$window" 160 120 || true)
    [ -n "$paddle" ] && [ -n "$empty" ] && [ "$paddle" != "$empty" ] && shown=yes && break
    sleep 0.05
done
[ -n "$shown" ] || fail "the stopped program's frame is not shown"
"$4" "$window"
sent '"exitCode":0'
sent '"event":"terminated"'
send disconnect
await "$adapter"
[ "$status" = 0 ] || fail "the adapter ended with $status"
echo "1 passed, 0 failed"
