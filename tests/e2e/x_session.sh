# Sourced by the end-to-end scripts: a temporary folder $work, an X server of our own
# (whichever display number is free), openbox on request, and waits for windows and
# processes. Everything started goes into $pids and ends with the script.
set -euo pipefail
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM

# Starts openbox and waits until it manages windows (it has announced itself on the root
# window); it is started again if it could not reach the display just after the server
# came up. Windows mapped before that may end up unmanaged.
start_openbox() {
    local wm
    wm_running() { [[ $(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null) == *"window id"* ]]; }
    for _ in $(seq 10); do
        HOME=$work openbox --sm-disable >"$work/openbox.log" 2>&1 &
        wm=$!; pids+=($wm)
        for _ in $(seq 200); do
            wm_running && break
            kill -0 "$wm" 2>/dev/null || break
            sleep 0.05
        done
        wm_running && return
        sleep 0.2
    done
    fail "openbox did not start: $(cat "$work/openbox.log")"
}
# Waits (up to $2 s, else 20) for a visible window named $1 and prints its id.
window_named() {
    local id
    id=$(timeout "${2:-20}" xdotool search --sync --onlyvisible --name "^$1\$" | head -n1) || fail "no window named $1"
    echo "$id"
}
# Waits (up to 60 s) for a visible window named $1 other than the window $2; prints its id.
# (While an editor asks, its own caption may show the compile's percentage.)
dialog_of() {
    local ids=""
    for _ in $(seq 600); do
        ids=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vx "$2" || true)
        [ -n "$ids" ] && { echo "$ids" | head -n1; return; }
        sleep 0.1
    done
    fail "no window named $1 besides $2"
}
# Waits (up to 60 s) until window $1 is no longer visible.
gone() {
    for _ in $(seq 600); do
        xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.1
    done
    fail "window $1 is still there"
}
# Types the lines $@ into the window that has the focus, each followed by Return.
type_lines() {
    for line in "$@"; do
        xdotool type --delay 30 "$line"
        xdotool key --delay 30 Return
    done
}
focus() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; }
# Waits (up to 20 s) for process $1, a child of this shell, to end; sets $status.
await() {
    for _ in $(seq 400); do
        if ! kill -0 "$1" 2>/dev/null; then
            status=0
            wait "$1" || status=$?
            return
        fi
        sleep 0.05
    done
    fail "process $1 did not end"
}
# The colour of pixel (x, y) of window $1, as ImageMagick writes it.
pixel() {
    import -window "$1" "$work/shot.png" 2>/dev/null || return 1
    convert "$work/shot.png" -format "%[pixel:p{$2,$3}]" info:
}
# Waits (up to 10 s) until pixel (x, y) of window $1 is red; fails with $4 otherwise.
await_red() {
    local colour
    for _ in $(seq 200); do
        colour=$(pixel "$1" "$2" "$3" || true)
        [ "$colour" = "srgb(255,0,0)" ] || [ "$colour" = "red" ] && return
        sleep 0.05
    done
    fail "$4: $colour"
}
