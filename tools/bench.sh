#!/usr/bin/env bash
# Builds the optimised, unsanitised native build and runs every benchmark in
# it. Extra arguments go to each benchmark (e.g. --benchmark_min_time=0.1).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc)"

# Benchmark executables of the bench build, one per line, run in this order.
bin_dir="build/bench/bin"
benchmarks=(
    encoding_bench
)

for benchmark in "${benchmarks[@]}"; do
    echo "== $benchmark"
    "$bin_dir/$benchmark" "$@"
done
