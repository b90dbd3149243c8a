#!/usr/bin/env bash
# Installs what the benchmarks need, builds them in ./build-bench, runs them and writes the
# figures, the machine and the goals missed to bench/RESULTS.md. Exits non-zero when a goal is
# missed. DUPLINK_BENCH_QUICK=1 makes every run short, for a quick try; its results go to
# build-bench/RESULTS-quick.md and leave bench/RESULTS.md as it was.
set -uo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh || exit 1
missing=()
for p in jpnevulator socat xvfb x11-utils; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq && $sudo apt-get install -y -qq "${missing[@]}" || exit 1
fi

source tools/build-env.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDUPLINK_WERROR=ON -DDUPLINK_BENCH=ON >/dev/null ||
    exit 1
nice cmake --build build-bench -j "$(nproc)" --target duplink_benchmarks || exit 1

export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR="$(mktemp -d)"
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

quick="${DUPLINK_BENCH_QUICK:-0}"
results=bench/RESULTS.md
[ "$quick" != "0" ] && results=build-bench/RESULTS-quick.md
# Each benchmark's tables wait in the build tree until the results are written.
tables=build-bench/tables
rm -rf "$tables" && mkdir -p "$tables"
summary=""
failed=0
start=$SECONDS
benchmarks=(bench_append bench_memory bench_relay bench_reception bench_idle bench_start bench_capture
            bench_timeline first-window)
for b in "${benchmarks[@]}"; do
    echo "== $b"
    run=build-bench/bench/$b
    [ -x "bench/$b.sh" ] && run=bench/$b.sh
    if $run >"$tables/$b.md"; then
        summary+="| $b | all met |"$'\n'
    else
        missed=$(grep -c 'MISSED' "$tables/$b.md")
        summary+="| $b | **$missed missed** |"$'\n'
        failed=1
    fi
    cat "$tables/$b.md"
done
took=$((SECONDS - start))

revision=$(git rev-parse --short HEAD 2>/dev/null || echo "not a git checkout")
git diff --quiet HEAD -- src 2>/dev/null || revision+=" with uncommitted changes to src/"
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
qt=$(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo unknown)
{
    echo "# Benchmark results"
    echo
    echo "Written by \`tools/bench.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'); the benchmarks ran"
    echo "for ${took} s$([ "$quick" != "0" ] && echo ", shortened (DUPLINK_BENCH_QUICK)")."
    echo "Every goal is checked against a baseline measured in the same run."
    echo "Program: ${revision}."
    echo
    echo "## Machine"
    echo
    echo "- CPU: ${cpu:-unknown}, $(nproc) cores"
    echo "- Memory: $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)"
    echo "- Kernel: $(uname -sr)"
    echo "- Qt: ${qt}; $(g++ --version | head -1); RelWithDebInfo; offscreen platform"
    echo "- Baselines: jpnevulator $(dpkg-query -W -f='${Version}' jpnevulator 2>/dev/null)," \
        "socat $(dpkg-query -W -f='${Version}' socat 2>/dev/null)"
    echo
    echo "## Goals"
    echo
    echo "| Benchmark | Goals |"
    echo "| --- | --- |"
    printf '%s' "$summary"
    echo
    echo "## Figures"
    echo
    for b in "${benchmarks[@]}"; do
        sed 's/^## /### /' "$tables/$b.md"
    done
    echo "## Goals missed and why, and what else the runs showed"
    echo
    sed '1,/^<!-- findings -->$/d' bench/FINDINGS.md
} >"$results"
echo "Results written to $results"
exit $failed
