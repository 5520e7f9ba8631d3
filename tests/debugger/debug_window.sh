#!/usr/bin/env bash
# Under X: `moxy --debug-adapter` shows the stopped game's frame drawn so far; closing the
# window ends the program, the adapter goes on until disconnect.   debug_window.sh MOXY GAME_MOXY GAME_SOURCE CLOSE_WINDOW
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
sent() {  # waits up to 20 s
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
# The paddle (rows 222 to 224 from x 141) differs from the empty middle.
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
