#!/usr/bin/env bash
# Installs what is missing, builds the program and the modem simulator, and starts Duplink
# wired to two simulated modems.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh duplink modem-sim ptymodemlines
exec tools/demo.sh build
