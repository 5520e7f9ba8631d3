#!/usr/bin/env bash
# The real Quillon editor under X with the runner found beside it. The Debug menu's keys: F12 and
# Ctrl+F5 stop the program in `moxy --debug-adapter`; F8 runs it to its end, its window staying
# open; Shift+F5 closes the window and ends the adapter. Then Run (F9) writes the MOXY file and
# its map and starts the runner, and Escape on "Save changes?" keeps the editor.
#   editor_debugger.sh QUILLON MOXY CLOSE_WINDOW
source "$(dirname "$0")/x_session.sh"
start_openbox
export XDG_DATA_HOME="$work/data"
mkdir "$work/bin"
cp "$1" "$2" "$work/bin/" && cp -r "$(dirname "$2")/../lib" "$work/"  # moxy finds its window library in ../lib/moxy
adapters() { pgrep -f -- "$work/bin/moxy --debug-adapter" >/dev/null; }

"$work/bin/quillon" 2>"$work/editor.log" &
editor_pid=$!; pids+=($editor_pid)
editor=$(window_named "Quillon Compiler" 60)
focus "$editor"
type_lines 'dim[t]' 'set[t]{moxy-e2e-first}' 'title[t]' 'set[t]{moxy-e2e-second}' 'title[t]'
xdotool key --delay 50 ctrl+Home Down Down Down F12 ctrl+F5
dialog_of "Quillon Compiler" "$editor" >/dev/null  # the input box for the MOXY file's name
type_lines debugged
runner=$(window_named moxy-e2e-first 60)
adapters || fail "no moxy --debug-adapter process"
[ -s "$work/bin/debugged.moxy.map" ] || fail "debugged.moxy.map was not written"
focus "$editor"
xdotool search --name "^moxy-e2e-second\$" >/dev/null 2>&1 && fail "the program did not stop at the breakpoint"

xdotool key --delay 50 F8
window_named moxy-e2e-second 60 >/dev/null
focus "$editor"
xdotool key --delay 50 shift+F5
gone "$runner"
poll 600 not adapters || fail "the adapter is still running"

xdotool key --delay 50 F9
dialog_of "Quillon Compiler" "$editor" >/dev/null  # the input box for the name
type_lines hello
runner=$(window_named moxy-e2e-second 60)
[ -s "$work/bin/hello.moxy" ] && [ -s "$work/bin/hello.moxy.map" ] || fail "hello.moxy or its map was not written"
runner_pid=$(xdotool getwindowpid "$runner")
"$3" "$runner"
poll 200 not kill -0 "$runner_pid" 2>/dev/null || { kill "$runner_pid"; fail "the runner did not end when its window was closed"; }
focus "$editor"
xdotool key --delay 50 ctrl+q
box=$(dialog_of "Quillon Compiler" "$editor")  # "Save changes?"
xdotool key --delay 50 Escape
gone "$box"
kill -0 "$editor_pid" 2>/dev/null || fail "the editor ended although Cancel was chosen"
echo "1 passed, 0 failed"
