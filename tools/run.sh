#!/usr/bin/env bash
# Installs what is missing, builds, and starts Duplink wired to two simulated modems.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh
exec tools/demo.sh build
