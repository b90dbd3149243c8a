#!/usr/bin/env bash
# Starts Duplink with its ports 1 and 2 on two simulated modems and port 3 on a simulated device
# that uses a modem, so it can be tried without either. Usage: tools/demo.sh BUILD-DIR [DUPLINK
# OPTIONS...], such as --capture. The simulator stops when the window closes or the script is
# interrupted; captures taken in the demo are kept.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "Usage: $0 BUILD-DIR [DUPLINK OPTIONS...]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
shift
# The demo's own folder goes when it ends; its captures are moved here first.
captures="${TMPDIR:-/tmp}/duplink-demo-captures"
# The lines' options, shared with the test that follows the README's walkthrough.
read -ra sim_options <"$(dirname "$0")/demo-simulator.options"
sim="$build/tools/modem-sim/duplink-modem-sim"
app="$build/src/duplink"
# Gives the simulated lines modem lines (DSR, CTS, DCD, RI) the window can show; optional.
lines_library="$build/tools/pty-modem-lines/libptymodemlines.so"
for program in "$sim" "$app"; do
    if [ ! -x "$program" ]; then
        echo "$0: $program is missing; build first (tools/build.sh)" >&2
        exit 1
    fi
done

links=$(mktemp -d "${TMPDIR:-/tmp}/duplink-demo.XXXXXX")
sim_pid=""
app_pid=""

# shellcheck disable=SC2317 # run from the traps
stop() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# shellcheck disable=SC2317
cleanup() {
    stop "$app_pid"
    stop "$sim_pid"
    keep_captures
    rm -rf "$links"
}

# shellcheck disable=SC2317
keep_captures() {
    local file kept=0
    while IFS= read -r -d '' file; do
        mkdir -p "$captures" && mv "$file" "$captures/" && kept=1
    done < <(find "$links" -name '*.pcapng' -print0 2>/dev/null)
    [ "$kept" -eq 0 ] || echo "The demo's captures are in $captures"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

all_linked() {
    local n
    for n in 1 2 3; do
        [ -L "$links/com$n" ] || return 1
    done
}

export PTY_MODEM_LINES="$links/lines"
"$sim" --link "$links/com1" --link "$links/com2" --link "$links/com3" "${sim_options[@]}" \
    >/dev/null &
sim_pid=$!
for _ in $(seq 100); do
    all_linked && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        echo "$0: the modem simulator did not start" >&2
        exit 1
    fi
    sleep 0.05
done
if ! all_linked; then
    echo "$0: the modem simulator made no lines" >&2
    exit 1
fi

cat <<EOF
Duplink on simulated lines: ports 1 and 2 are modems at telephone numbers 1 and 2, port 3 is
a device that uses a modem. Send "ATD2" on Terminal 1 to ring Terminal 2, and "ATA" there to
answer; README.md walks through the rest.
EOF

preload=""
[ -f "$lines_library" ] && preload="$lines_library"

# Started in the background so that a signal to this script is handled at once rather than
# after the window closes. The settings go into a folder of the demo's own, so the demo always
# starts from the defaults the README's walkthrough expects and leaves the user's alone.
LD_PRELOAD="$preload" ProgramFiles="$links" DUPLINK_COM1="$links/com1" \
    DUPLINK_COM2="$links/com2" DUPLINK_COM3="$links/com3" "$app" "$@" &
app_pid=$!
status=0
wait "$app_pid" || status=$?
app_pid=""
exit "$status"
