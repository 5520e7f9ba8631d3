#!/usr/bin/env bash
# The debug adapter's runner window under a real X server (Xvfb with openbox): see
# debug_window.py.   debug_window.sh MOXY GAME_MOXY GAME_SOURCE CLOSE_WINDOW
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../e2e/x_session.sh"
start_openbox
python3 "$here/debug_window.py" "$1" "$2" "$3" "$4" "$work"
