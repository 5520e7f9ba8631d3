# Sourced by the end-to-end scripts: a temporary folder $work, an X server of our own (on a
# free display), openbox on request, and waits for windows and processes. Everything
# started goes into $pids and ends with the script.
set -euo pipefail
work=$(mktemp -d)
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
not() { ! "$@"; }
# Runs "$@" every 0.1 s until it succeeds, at most $1 times.
poll() {
    local times=$1; shift
    for _ in $(seq "$times"); do "$@" && return 0; sleep 0.1; done
    return 1
}

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
poll 100 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM

# Starts openbox and waits until it has announced itself on the root window; again if it
# could not reach the display just after the server came up.
start_openbox() {
    wm_running() { [[ $(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null) == *"window id"* ]]; }
    settled() { wm_running || not kill -0 "$wm" 2>/dev/null; }
    local wm
    for _ in $(seq 10); do
        HOME=$work openbox --sm-disable >"$work/openbox.log" 2>&1 &
        wm=$!; pids+=($wm)
        poll 100 settled || true
        wm_running && return
        sleep 0.2
    done
    fail "openbox did not start: $(cat "$work/openbox.log")"
}
# Waits (up to $2 s, else 20) for a visible window named $1 and prints its id.
window_named() {
    timeout "${2:-20}" xdotool search --sync --onlyvisible --name "^$1\$" | head -n1 | grep . || fail "no window named $1"
}
# Waits (up to 60 s) for a visible window named $1 other than the window $2; prints its id.
dialog_of() {
    other() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vx "$2" | head -n1; }
    poll 600 other "$1" "$2" || fail "no window named $1 besides $2"
}
# Waits (up to 60 s) until window $1 is no longer visible.
gone() {
    shown() { xdotool search --onlyvisible --name . 2>/dev/null | grep -x "$1" >/dev/null; }
    poll 600 not shown "$1" || fail "window $1 is still there"
}
# Types the lines $@ into the focused window, each followed by Return.
type_lines() { for line in "$@"; do xdotool type --delay 30 "$line"; xdotool key --delay 30 Return; done; }
focus() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; }
# Waits (up to 20 s) for process $1, a child of this shell, to end; sets $status.
await() {
    poll 200 not kill -0 "$1" 2>/dev/null || fail "process $1 did not end"
    status=0
    wait "$1" || status=$?
}
