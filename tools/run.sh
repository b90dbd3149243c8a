#!/usr/bin/env bash
# Installs what is missing, builds only the program, the modem simulator and the pty modem-line
# library, and starts Duplink wired to two simulated modems and a simulated device. Options go
# to Duplink: "tools/run.sh --capture" starts it with capture on.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh duplink modem-sim ptymodemlines
exec tools/demo.sh build "$@"
