#!/usr/bin/env bash
# Configures and builds Duplink in ./build (warnings are errors). Arguments name the targets
# to build; without them everything is built.
set -euo pipefail
cd "$(dirname "$0")/.."
# A compiler cache, where installed, makes the builds after the first quick.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDUPLINK_WERROR=ON "${launcher[@]}" >/dev/null
targets=()
for t in "$@"; do
    targets+=(--target "$t")
done
cmake --build build -j "$(nproc)" "${targets[@]}"
