#!/usr/bin/env bash
# Fuzzes the settings file loader with libFuzzer (clang) for SECONDS seconds (default 60), from
# the seed corpus in fuzz/corpus. Findings are left in build-fuzz/findings. A longer run:
#   tools/fuzz.sh 3600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DDUPLINK_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzz_settings_loader
corpus=build-fuzz/corpus
mkdir -p "$corpus" build-fuzz/findings
cp -n fuzz/corpus/settings_loader/* "$corpus"/
# An allocation past 64 MB or a run past 2 s counts as a finding too.
build-fuzz/fuzz/fuzz_settings_loader "$corpus" -max_total_time="$seconds" -malloc_limit_mb=64 \
    -rss_limit_mb=1024 -timeout=2 -artifact_prefix=build-fuzz/findings/ -print_final_stats=1
