#!/usr/bin/env bash
# End to end under a real X server with a window manager: the Debug menu's keys in the real
# Quillon editor. A typed program gets a breakpoint (F12), Ctrl+F5 asks for the MOXY file's
# name and starts `moxy --debug-adapter`, whose runner window shows the program stopped at
# the breakpoint; Continue (F8) runs it to its end, its window staying open, and Stop
# (Shift+F5) closes the runner window and ends the adapter.
#   editor_debugger.sh QUILLON MOXY
set -euo pipefail
quillon=$1 moxy=$2
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A display of our own, whichever number is free, with a window manager.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM
openbox >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 600); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || fail "openbox did not start"
export XDG_DATA_HOME="$work/data"

# The programs in a folder of their own: the editor keeps its files there and finds the
# runner beside it.
mkdir "$work/bin"
cp "$quillon" "$moxy" "$work/bin/"

# Waits (up to 60 s) for a visible window named $1 other than the window $2; prints its id.
dialog_of() {
    local ids=""
    for _ in $(seq 600); do
        ids=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vx "$2" || true)
        [ -n "$ids" ] && { echo "$ids" | head -n1; return; }
        sleep 0.1
    done
    fail "no window named $1 besides $2"
}
# Waits (up to 60 s) until no visible window is named $1.
no_window() {
    for _ in $(seq 600); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "a window named $1 is still there"
}
# Waits (up to 60 s) for a visible window named $1; prints its id.
window_named() {
    timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" | head -n1 || fail "no window named $1"
}
type_lines() {
    for line in "$@"; do
        xdotool type --delay 30 "$line"
        xdotool key --delay 30 Return
    done
}
focus() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; }
adapters() { pgrep -f -- "$work/bin/moxy --debug-adapter" || true; }

"$work/bin/quillon" 2>"$work/editor.log" &
pids+=($!)
editor=$(window_named "Quillon Compiler")
focus "$editor"
type_lines 'dim[t]' 'set[t]{moxy-e2e-first}' 'title[t]' 'set[t]{moxy-e2e-second}' 'title[t]'

echo "start: a breakpoint on line 4, Ctrl+F5, the program stops before the second caption"
xdotool key --delay 50 ctrl+Home Down Down Down F12 ctrl+F5
box=$(dialog_of "Quillon Compiler" "$editor")  # the input box for the name
type_lines debugged
runner=$(window_named moxy-e2e-first)
[ -n "$(adapters)" ] || fail "no moxy --debug-adapter process"
[ -s "$work/bin/debugged.moxy.map" ] || fail "debugged.moxy.map was not written"

focus "$editor"
xdotool search --name "^moxy-e2e-second\$" >/dev/null 2>&1 && fail "the program did not stop at the breakpoint"

echo "continue: F8 runs the program to its end; its window stays"
xdotool key --delay 50 F8
window_named moxy-e2e-second >/dev/null

echo "stop: Shift+F5 closes the runner window and ends the adapter"
focus "$editor"
xdotool key --delay 50 shift+F5
no_window moxy-e2e-second
for _ in $(seq 600); do [ -z "$(adapters)" ] && break; sleep 0.1; done
[ -z "$(adapters)" ] || fail "the adapter is still running"
echo "1 passed, 0 failed"
