#!/usr/bin/env bash
# Opens the built Standalone on a private Xvfb display and writes a PNG of the screen.
#
# Usage: scripts/standalone-screenshot.sh BUILD_DIR [OUTPUT.png]
#
# JUCE only looks up (never creates) the window-manager atoms it then sets on its windows; a bare Xvfb
# without a window manager has none of them and the first window fails with BadAtom. The script creates
# them with xprop first and runs Xvfb with -noreset so that they survive between clients.
set -euo pipefail

build_dir=${1:?usage: $0 BUILD_DIR [OUTPUT.png]}
output=${2:-$build_dir/standalone-screenshot.png}
app="$build_dir/Tolvmark_artefacts/Release/Standalone/Tolv_mark"
[[ -x $app ]] || app="$build_dir/Tolvmark_artefacts/Debug/Standalone/Tolv_mark"
[[ -x $app ]] || { echo "no Standalone under $build_dir" >&2; exit 1; }

display_number=${TOLVMARK_SCREENSHOT_DISPLAY:-93}
export DISPLAY=":$display_number"

Xvfb "$DISPLAY" -screen 0 1280x1024x24 -noreset >/dev/null 2>&1 &
xvfb_pid=$!
app_pid=""
cleanup() {
    [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
sleep 1

for atom in WM_PROTOCOLS WM_TAKE_FOCUS WM_DELETE_WINDOW _NET_WM_PING WM_CHANGE_STATE WM_STATE \
    _NET_WM_WINDOW_TYPE _NET_WM_STATE _NET_WM_STATE_HIDDEN; do
    xprop -root -f TOLVMARK_ATOMS 32a -set TOLVMARK_ATOMS "$atom"
done

"$app" >/dev/null 2>&1 &
app_pid=$!
sleep "${TOLVMARK_SCREENSHOT_WAIT:-4}"

kill -0 "$app_pid" || { echo "the Standalone exited early" >&2; exit 1; }
python3 "$(dirname "$0")/x11_screenshot.py" "$output"
echo "wrote $output"
