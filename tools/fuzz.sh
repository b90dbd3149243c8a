#!/usr/bin/env bash
# Fuzzes the settings file loader, the port map reader, the capture reader and the chat script
# reader with libFuzzer (clang), sharing SECONDS seconds (default 60) between them, each from its seed corpus in
# fuzz/corpus. The corpora grow in build-fuzz/corpus; findings are left in build-fuzz/findings.
# A longer run:
#   tools/fuzz.sh 3600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
source tools/build-env.sh
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DDUPLINK_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)" \
    --target fuzz_settings_loader fuzz_port_map_reader fuzz_capture_reader fuzz_chat_script
mkdir -p build-fuzz/findings
# Undefined behaviour is a finding, not a warning.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# fuzz TARGET CORPUS SECONDS
fuzz() {
    local corpus=build-fuzz/corpus/$2
    mkdir -p "$corpus"
    cp -n fuzz/corpus/"$2"/* "$corpus"/
    # An allocation past 64 MB or a run past 2 s counts as a finding too. (0 s would be no limit.)
    build-fuzz/fuzz/"$1" "$corpus" -max_total_time="$(( $3 > 0 ? $3 : 1 ))" -malloc_limit_mb=64 \
        -rss_limit_mb=1024 -timeout=2 -artifact_prefix=build-fuzz/findings/"$2"- \
        -print_final_stats=1
}
quarter=$(( seconds / 4 ))
fuzz fuzz_settings_loader settings_loader $(( seconds - 3 * quarter ))
fuzz fuzz_port_map_reader port_map "$quarter"
fuzz fuzz_capture_reader capture_reader "$quarter"
fuzz fuzz_chat_script chat_script "$quarter"
