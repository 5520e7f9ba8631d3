#!/usr/bin/env bash
# The Debug menu's keys in the real Quillon editor under X: F12 and Ctrl+F5 stop the program
# in `moxy --debug-adapter` (found beside the editor); F8 runs it to its end, its window staying
# open; Shift+F5 closes the window and ends the adapter.   editor_debugger.sh QUILLON MOXY
source "$(dirname "$0")/x_session.sh"
start_openbox
export XDG_DATA_HOME="$work/data"
mkdir "$work/bin"
cp "$1" "$2" "$work/bin/" && cp -r "$(dirname "$2")/../lib" "$work/"  # moxy finds its window library in ../lib/moxy
adapters() { pgrep -f -- "$work/bin/moxy --debug-adapter" || true; }

"$work/bin/quillon" 2>"$work/editor.log" &
pids+=($!)
editor=$(window_named "Quillon Compiler" 60)
focus "$editor"
type_lines 'dim[t]' 'set[t]{moxy-e2e-first}' 'title[t]' 'set[t]{moxy-e2e-second}' 'title[t]'
xdotool key --delay 50 ctrl+Home Down Down Down F12 ctrl+F5
dialog_of "Quillon Compiler" "$editor" >/dev/null  # the input box for the MOXY file's name
type_lines debugged
runner=$(window_named moxy-e2e-first 60)
[ -n "$(adapters)" ] || fail "no moxy --debug-adapter process"
[ -s "$work/bin/debugged.moxy.map" ] || fail "debugged.moxy.map was not written"
focus "$editor"
xdotool search --name "^moxy-e2e-second\$" >/dev/null 2>&1 && fail "the program did not stop at the breakpoint"

xdotool key --delay 50 F8
window_named moxy-e2e-second 60 >/dev/null
focus "$editor"
xdotool key --delay 50 shift+F5
gone "$runner"
for _ in $(seq 600); do [ -z "$(adapters)" ] && break; sleep 0.1; done
[ -z "$(adapters)" ] || fail "the adapter is still running"
echo "1 passed, 0 failed"
