#!/usr/bin/env bash
# Configures and builds Duplink in ./build (warnings are errors). Arguments name the targets
# to build; without them everything is built.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDUPLINK_WERROR=ON >/dev/null
targets=()
for t in "$@"; do
    targets+=(--target "$t")
done
cmake --build build -j "$(nproc)" "${targets[@]}"
