#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the regular build, the same tests built
# with AddressSanitizer and UndefinedBehaviorSanitizer, and a minute of fuzzing the settings
# loader, the port map reader, the capture reader and the chat script reader. "tools/test.sh --quick" runs the regular
# build's tests only.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")
[ "${1:-}" = "--quick" ] && exit 0

echo "== The tests under AddressSanitizer and UndefinedBehaviorSanitizer"
source tools/build-env.sh
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DDUPLINK_WERROR=ON \
    -DDUPLINK_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j "$(nproc)"
(cd build-sanitize && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")

echo "== A minute of fuzzing the settings loader and the port map, capture and chat script readers"
tools/fuzz.sh 60
