#!/usr/bin/env bash
# First window: how long a newcomer waits for the window after the README's first command.
# tools/run.sh runs on a clean clone of this checkout's last commit, with the packages present
# and an empty compiler cache, timed from its start until the window is mapped on a virtual X
# server; then once more with everything built. Prints its tables in Markdown as the other
# benchmarks do and exits non-zero when a goal is missed.
set -uo pipefail
cd "$(dirname "$0")/.."
goal_seconds=40

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

git clone -q . "$work/clone" || exit 1
Xvfb -displayfd 3 -screen 0 1280x1024x24 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
export DISPLAY=":$(cat "$work/display")"
unset QT_QPA_PLATFORM
export CCACHE_DIR="$work/ccache"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# Seconds from starting tools/run.sh until Duplink's main window is mapped; the run is then
# ended as a user closing it would end it. Prints "failed" when no window came within 10 min.
seconds_to_window() {
    local start end run
    start=$(date +%s.%N)
    (cd "$work/clone" && exec tools/run.sh) >"$work/run-$1.log" 2>&1 &
    run=$!
    # The window list is asked for only once the program runs: every client of the X server
    # costs it a keymap compilation, which would take CPU from the build being timed. The list
    # is taken whole: grep -q would end the pipe early, which pipefail counts as failure.
    until pgrep -f "^$work/clone/build/src/duplink" >/dev/null &&
        [[ $(xwininfo -root -tree 2>/dev/null) == *'("duplink" "Duplink")'* ]]; do
        if ! kill -0 "$run" 2>/dev/null || awk "BEGIN { exit !($(date +%s.%N) - $start > 600) }"; then
            echo failed
            kill -TERM "$run" 2>/dev/null
            wait "$run" 2>/dev/null
            return
        fi
        sleep 0.2
    done
    end=$(date +%s.%N)
    kill -TERM "$run"
    wait "$run" 2>/dev/null
    awk "BEGIN { printf \"%.1f\\n\", $end - $start }"
}

load=$(cut -d' ' -f1 /proc/loadavg)
clean=$(seconds_to_window clean)
built=$(seconds_to_window built)
met=MISSED
[ "$clean" != failed ] && awk "BEGIN { exit !($clean <= $goal_seconds) }" && met=met

echo "## First window: tools/run.sh on a clean clone"
echo
echo "| Run | Seconds to the window |"
echo "| --- | --- |"
echo "| Clean clone, packages present, empty compiler cache | $clean |"
echo "| The same again, everything built | $built |"
echo
echo "The clone is of the last commit; the time runs from starting tools/run.sh until Duplink's"
echo "window is mapped on a virtual X server, on $(nproc) cores (load average $load at the start)."
echo
echo "| Goal | Measured |  |"
echo "| --- | --- | --- |"
echo "| Clean clone: the window within $goal_seconds s | $clean s | $([ $met = met ] && echo met || echo '**MISSED**') |"
[ $met = met ]
