#!/usr/bin/env bash
# End to end under a real X server with a window manager: the Debug menu's keys in the real
# Quillon editor. A typed program gets a breakpoint (F12), Ctrl+F5 asks for the MOXY file's
# name and starts `moxy --debug-adapter`, whose runner window shows the program stopped at
# the breakpoint; Continue (F8) runs it to its end, its window staying open, and Stop
# (Shift+F5) closes the runner window and ends the adapter.
#   editor_debugger.sh QUILLON MOXY
quillon=$1 moxy=$2
source "$(dirname "$0")/x_session.sh"
start_openbox
export XDG_DATA_HOME="$work/data"

# The programs in a folder of their own: the editor keeps its files there and finds the
# runner beside it.
mkdir "$work/bin"
cp "$quillon" "$moxy" "$work/bin/" && cp -r "$(dirname "$moxy")/../lib" "$work/"  # moxy finds its window library in ../lib/moxy

# Waits (up to 60 s) until no visible window is named $1.
no_window() {
    for _ in $(seq 600); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "a window named $1 is still there"
}
adapters() { pgrep -f -- "$work/bin/moxy --debug-adapter" || true; }

"$work/bin/quillon" 2>"$work/editor.log" &
pids+=($!)
editor=$(window_named "Quillon Compiler" 60)
focus "$editor"
type_lines 'dim[t]' 'set[t]{moxy-e2e-first}' 'title[t]' 'set[t]{moxy-e2e-second}' 'title[t]'

echo "start: a breakpoint on line 4, Ctrl+F5, the program stops before the second caption"
xdotool key --delay 50 ctrl+Home Down Down Down F12 ctrl+F5
box=$(dialog_of "Quillon Compiler" "$editor")  # the input box for the name
type_lines debugged
runner=$(window_named moxy-e2e-first 60)
[ -n "$(adapters)" ] || fail "no moxy --debug-adapter process"
[ -s "$work/bin/debugged.moxy.map" ] || fail "debugged.moxy.map was not written"

focus "$editor"
xdotool search --name "^moxy-e2e-second\$" >/dev/null 2>&1 && fail "the program did not stop at the breakpoint"

echo "continue: F8 runs the program to its end; its window stays"
xdotool key --delay 50 F8
window_named moxy-e2e-second 60 >/dev/null

echo "stop: Shift+F5 closes the runner window and ends the adapter"
focus "$editor"
xdotool key --delay 50 shift+F5
no_window moxy-e2e-second
for _ in $(seq 600); do [ -z "$(adapters)" ] && break; sleep 0.1; done
[ -z "$(adapters)" ] || fail "the adapter is still running"
echo "1 passed, 0 failed"
