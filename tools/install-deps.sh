#!/usr/bin/env bash
# Installs the Debian packages Duplink needs to build and test; does nothing when all are there.
set -euo pipefail

# The last line makes and checks the Debian package: help2man writes the manual pages, dpkg-dev
# and file find its dependencies, lintian, desktop-file-utils, appstream and man-db check it.
# Ninja runs the builds (tools/build-env.sh).
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
          qt6-qpa-plugins libudev-dev libgensio-dev ser2net clang libclang-rt-14-dev tshark ppp
          help2man dpkg-dev file lintian desktop-file-utils appstream man-db)

missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# tshark reads the capture files in the tests; it must not ask whether to capture as non-root.
echo "wireshark-common wireshark-common/install-setuid boolean false" | $sudo debconf-set-selections
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
