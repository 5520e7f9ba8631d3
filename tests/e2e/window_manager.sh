#!/usr/bin/env bash
# The runner window under a real X server with openbox, as a user meets it.
#   window_manager.sh MOXY QUILLON CLOSE_WINDOW
moxy=$1 quillon=$2 close_window=$3
source "$(dirname "$0")/x_session.sh"
start_openbox
export XDG_DATA_HOME="$work/data"  # nothing of the run lands in the real home
# Compiles the Quillon program $2 (statements separated by blanks) to $work/$1.moxy.
program() { echo "$2" >"$work/$1.qlnp" && "$quillon" --compile "$work/$1.qlnp" >/dev/null; }
program geometry 'dim[v] dim[one] set[one]{1} set[v]{400} setwindowwidth[v] set[v]{300} setwindowheight[v]
  set[v]{100} setwindowx[v] set[v]{200} setwindowy[v] set[v]{moxy-e2e-geometry} title[v] label{1} doevents goto[one]'
program dialogs "dim[c] dim[a] dim[q] dim[f] set[c]{moxy-e2e-dialogs} title[c] set[q]{Name?} inputbox[a][q]
  set[f]{$work/answer.txt} writefile[f][a] set[c]{Hi} msgbox[c]"
start() { "$moxy" "$work/$1.moxy" & pid=$!; pids+=($pid); window=$(window_named "moxy-e2e-$1"); }
ended() { await "$pid"; [ "$status" = 0 ] || fail "moxy ended with status $status $1"; }
# "X Y WIDTH HEIGHT" of window $1 as the window manager framed it.
outer() {
    local l r t b
    IFS=', ' read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p')
    xwininfo -id "$1" | awk -v l="${l:-0}" -v r="${r:-0}" -v t="${t:-0}" -v b="${b:-0}" '/Absolute upper-left X/ {x = $4}
        /Absolute upper-left Y/ {y = $4} /^ *Width:/ {w = $2} /^ *Height:/ {h = $2} END {print x - l, y - t, w + l + r, h + t + b}'
}
# Whether the frame of window $1 is centred on the frame of window $2, within 2 pixels.
centred_on() {
    local x y w h X Y W H
    read -r x y w h < <(outer "$1")
    read -r X Y W H < <(outer "$2")
    local dx=$(((2 * x + w) - (2 * X + W))) dy=$(((2 * y + h) - (2 * Y + H)))
    [ "${dx#-}" -le 4 ] && [ "${dy#-}" -le 4 ]
}
# Fails unless the dialog $1 is soon centred on the runner's window.
centred() { poll 50 centred_on "$1" "$window" || fail "the dialog at '$(outer "$1")' is not centred on '$(outer "$window")'"; }
framed_at() { [ "$(outer "$window")" = "200 100 400 300" ]; }

echo "geometry: set by the first statements, it holds for the framed window"
start geometry
poll 100 framed_at || fail "the framed window is at and of '$(outer "$window")', not '200 100 400 300'"
sleep 0.5  # anything the window manager still does to the frame shows now
framed_at || fail "the framed window moved on to '$(outer "$window")'"
"$close_window" "$window"
ended "after its window was closed"

echo "dialogs: centred, modal, captions whole, the answer kept after a click on the runner; closing the runner ends it"
start dialogs
dialog=$(window_named MOXY)
centred "$dialog"
[[ $(xprop -id "$dialog" _NET_WM_STATE) == *_NET_WM_STATE_MODAL* ]] || fail "the input box is not modal"
read -r x y w h < <(outer "$window")
xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1 sleep 0.3 type --delay 30 abc
xdotool key Return
poll 100 test -s "$work/answer.txt" || true
[ "$(cat "$work/answer.txt" 2>/dev/null)" = $'abc\r' ] || fail "answer.txt holds '$(cat "$work/answer.txt" 2>/dev/null)'"
box=$(window_named MOXY)
centred "$box"
read -r _ _ boxWidth _ < <(outer "$box")
# openbox's caption needs the text "MOXY" beside the icon and three buttons.
[ "$boxWidth" -ge 160 ] || fail "the message box is $boxWidth pixels wide: too narrow for its caption"
"$close_window" "$window"
ended "after its window was closed during a dialog"

echo "2 passed, 0 failed"
