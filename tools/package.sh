#!/usr/bin/env bash
# Installs what is missing, builds the program, and makes the Debian package
# duplink_<version>_<arch>.deb here, for "sudo apt install ./duplink_*.deb".
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh duplink modem-sim package_files
rm -rf build/package
(cd build && cpack -G DEB -B package >/dev/null)
cp build/package/duplink_*.deb .
ls duplink_*.deb
