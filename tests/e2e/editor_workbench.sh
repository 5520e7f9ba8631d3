#!/usr/bin/env bash
# End to end under a real X server with a window manager: a program typed into the real
# Quillon editor with xdotool, Run (F9) asks for the MOXY file's name, writes it with its
# source map and starts the real runner in a window of its own, which is then closed.
# Exit with a changed text asks "Save changes?"; Escape (Cancel) keeps the editor open.
#   editor_workbench.sh QUILLON MOXY CLOSE_WINDOW
quillon=$1 moxy=$2 close_window=$3
source "$(dirname "$0")/x_session.sh"
start_openbox
export XDG_DATA_HOME="$work/data"

# The programs in a folder of their own, as installed per user: the editor keeps its files
# there and finds the runner beside it.
mkdir "$work/bin"
cp "$quillon" "$moxy" "$work/bin/" && cp -r "$(dirname "$moxy")/../lib" "$work/"  # moxy finds its window library in ../lib/moxy

echo "run: typed program, F9, name, runner window"
"$work/bin/quillon" 2>"$work/editor.log" &
editor_pid=$!; pids+=($editor_pid)
editor=$(timeout 60 xdotool search --sync --onlyvisible --name "^Quillon Compiler\$" | head -n1) ||
    fail "no editor window: $(cat "$work/editor.log"; xwininfo -root -tree | grep -i quillon)"
focus "$editor"
type_lines 'dim[t]' 'set[t]{moxy-e2e-run}' 'title[t]'
xdotool key --delay 50 F9
box=$(dialog_of "Quillon Compiler" "$editor")  # the input box for the name
type_lines hello
gone "$box"
runner=$(window_named moxy-e2e-run 60)
[ -s "$work/bin/hello.moxy" ] || fail "hello.moxy was not written"
grep -q . "$work/bin/hello.moxy.map" || fail "hello.moxy.map was not written"
runner_pid=$(xdotool getwindowpid "$runner")
[ -n "$runner_pid" ] || fail "no process for the runner window"
"$close_window" "$runner"
for _ in $(seq 200); do kill -0 "$runner_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$runner_pid" 2>/dev/null && { kill "$runner_pid"; fail "the runner did not end when its window was closed"; }

echo "exit: a changed text asks first; Cancel keeps the editor"
focus "$editor"
xdotool key --delay 50 ctrl+q
box=$(dialog_of "Quillon Compiler" "$editor")  # "Save changes?"
xdotool key --delay 50 Escape
gone "$box"
kill -0 "$editor_pid" 2>/dev/null || fail "the editor ended although Cancel was chosen"
xdotool search --onlyvisible --name "^Quillon Compiler\$" | grep -qx "$editor" || fail "the editor window went"
echo "1 passed, 0 failed"
