#!/usr/bin/env bash
# Configures and builds Duplink in ./build (warnings are errors). Arguments name the targets
# to build; without them everything is built.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/build-env.sh
# Optimised as Debian builds its packages, without debug information, which takes a third of
# the compile time from clean. The benchmarks keep it, for profiles, in a tree of their own.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DDUPLINK_WERROR=ON >/dev/null
targets=()
for t in "$@"; do
    targets+=(--target "$t")
done
cmake --build build -j "$(nproc)" "${targets[@]}"
