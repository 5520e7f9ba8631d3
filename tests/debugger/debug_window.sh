#!/usr/bin/env bash
# Under X: closing the runner window of `moxy --debug-adapter` while the game is stopped ends the
# program; the adapter goes on until disconnect.   debug_window.sh MOXY GAME GAME_SOURCE CLOSE
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
sent() { poll 200 grep -q -- "$1" "$work/out" || fail "the adapter did not send $1: $(cat "$work/out")"; }

send initialize '{"adapterID":"moxy"}'
send launch "{\"program\":\"$2\",\"seed\":1}"
send setBreakpoints "{\"source\":{\"path\":\"$3\"},\"lines\":[$(grep -n '^doevents' "$3" | head -n1 | cut -d: -f1)]}"
send configurationDone
sent '"reason":"breakpoint"'
"$4" "$(window_named 'Catch the ball!')"
sent '"exitCode":0'
sent '"event":"terminated"'
send disconnect
await "$adapter"
[ "$status" = 0 ] || fail "the adapter ended with $status"
echo "1 passed, 0 failed"
