#!/usr/bin/env bash
# The runner window under a real X server with a window manager (openbox), as a user
# meets it: geometry set by the first statements holds for the whole framed window;
# dialogs are centred on the runner, modal to it and wide enough for their caption; a
# click on the runner during an input box does not steal the answer; closing the runner
# during a dialog ends it; a program that never yields still shows its drawing and closes.
#   window_manager.sh MOXY MAKE_E2E_PROGRAMS CLOSE_WINDOW
moxy=$1 make_programs=$2 close_window=$3
source "$(dirname "$0")/x_session.sh"
start_openbox
"$make_programs" "$work"

# The whole window $1 as the window manager framed it: "X Y WIDTH HEIGHT" of the frame.
outer() {
    local info x y w h l r t b
    info=$(xwininfo -id "$1")
    x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
    y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
    w=$(awk '/^ *Width:/ {print $2}' <<<"$info")
    h=$(awk '/^ *Height:/ {print $2}' <<<"$info")
    IFS=', ' read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p')
    echo "$((x - ${l:-0})) $((y - ${t:-0})) $((w + ${l:-0} + ${r:-0})) $((h + ${t:-0} + ${b:-0}))"
}
# Whether the frame of window $1 is centred on the frame of window $2, within 2 pixels.
centred_on() {
    local x y w h X Y W H
    read -r x y w h < <(outer "$1")
    read -r X Y W H < <(outer "$2")
    local dx=$(((2 * x + w) - (2 * X + W))) dy=$(((2 * y + h) - (2 * Y + H)))
    [ "${dx#-}" -le 4 ] && [ "${dy#-}" -le 4 ]
}

echo "geometry: 400x300 at (200,100) from the first statements, frame included"
"$moxy" "$work/geometry.moxy" &
pid=$!; pids+=($pid)
window=$(window_named moxy-e2e-geometry)
for _ in $(seq 200); do
    geometry=$(outer "$window")
    [ "$geometry" = "200 100 400 300" ] && break
    sleep 0.05
done
[ "$geometry" = "200 100 400 300" ] || fail "the framed window is at and of '$geometry', not '200 100 400 300'"
sleep 0.5  # anything the window manager still does to the frame shows now
geometry=$(outer "$window")
[ "$geometry" = "200 100 400 300" ] || fail "the framed window moved on to '$geometry'"
"$close_window" "$window"
await "$pid"
[ "$status" = 0 ] || fail "moxy ended with status $status"

echo "dialogs: centred, modal, captions whole, answer kept after a click on the runner"
"$moxy" "$work/dialogs.moxy" &
pid=$!; pids+=($pid)
window=$(window_named moxy-e2e-dialogs)
dialog=$(window_named MOXY)
for _ in $(seq 100); do centred_on "$dialog" "$window" && break; sleep 0.05; done
centred_on "$dialog" "$window" || fail "the input box at '$(outer "$dialog")' is not centred on the runner at '$(outer "$window")'"
[[ $(xprop -id "$dialog" _NET_WM_STATE) == *_NET_WM_STATE_MODAL* ]] || fail "the input box is not modal"
# A click on the runner while the box is open; the typed answer still reaches the box.
read -r x y w h < <(outer "$window")
xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
sleep 0.3
xdotool type --delay 30 abc
xdotool key Return
for _ in $(seq 200); do [ -s "$work/answer.txt" ] && break; sleep 0.05; done
[ "$(cat "$work/answer.txt" 2>/dev/null)" = $'abc\r' ] || fail "answer.txt holds '$(cat "$work/answer.txt" 2>/dev/null)'"
box=$(window_named MOXY)
for _ in $(seq 100); do centred_on "$box" "$window" && break; sleep 0.05; done
centred_on "$box" "$window" || fail "the message box at '$(outer "$box")' is not centred on the runner at '$(outer "$window")'"
read -r _ _ boxWidth _ < <(outer "$box")
# openbox's caption needs the text "MOXY" beside the icon and three buttons.
[ "$boxWidth" -ge 160 ] || fail "the message box is $boxWidth pixels wide: too narrow for its caption"
"$close_window" "$window"
await "$pid"
[ "$status" = 0 ] || fail "moxy ended with status $status after its window was closed during a dialog"

echo "busy: a program that never yields shows its drawing and closes"
"$moxy" "$work/busy.moxy" &
pid=$!; pids+=($pid)
window=$(window_named moxy-e2e-busy)
await_red "$window" 50 40 "the busy program's box is not shown"
start=$(date +%s%N)
"$close_window" "$window"
await "$pid"
echo "  closed after $((($(date +%s%N) - start) / 1000000)) ms"
[ "$status" = 0 ] || fail "moxy ended with status $status"
echo "3 passed, 0 failed"
