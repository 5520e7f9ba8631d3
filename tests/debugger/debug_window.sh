#!/usr/bin/env bash
# The debug adapter's runner window under a real X server (Xvfb with openbox): see
# debug_window.py.   debug_window.sh MOXY GAME_MOXY GAME_SOURCE CLOSE_WINDOW
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM
openbox >/dev/null 2>&1 &
pids+=($!)

python3 "$here/debug_window.py" "$1" "$2" "$3" "$4" "$work"
