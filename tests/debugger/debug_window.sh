#!/usr/bin/env bash
# The debug adapter's runner window under a real X server (Xvfb with openbox): see
# debug_window_test.cpp.   debug_window.sh MOXY GAME_MOXY GAME_SOURCE CLOSE_WINDOW TEST
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../e2e/x_session.sh"
start_openbox
MOXY=$1 GAME_MOXY=$2 GAME_SOURCE=$3 CLOSE_WINDOW=$4 WORK=$work "$5"
