#!/usr/bin/env bash
# Prints the section sizes of both shipped images. Builds the optimised,
# unsanitised native build and runs every benchmark in it; extra arguments go
# to each of these (e.g. --benchmark_min_time=0.1). Then builds the win32
# build's benchmarks and runs them under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

# The shipped images' sections, stripped as `make dist` packs them.
tools/build.sh win32 win64 -- --target release_archives
echo "== stripped Valdrenne.exe, bytes per section"
/usr/bin/python3 bench/image_sizes.py win32=build/win32/dist/Valdrenne.exe win64=build/win64/dist/Valdrenne.exe

tools/build.sh bench

# Benchmark executables of the bench build, one per line, run in this order.
bin_dir="build/bench/bin"
benchmarks=(
    encoding_bench
)

for benchmark in "${benchmarks[@]}"; do
    echo "== $benchmark"
    "$bin_dir/$benchmark" "$@"
done

# Windows benchmarks: the shipping win32 build, run under Wine in one private
# prefix. They print their own figures and take no arguments.
windows_bin_dir="build/win32/bin"
windows_benchmarks=(
    reportlog_bench
    launch_bench
)

tools/build.sh win32 -- --target "${windows_benchmarks[@]}"
tools/with-wine.sh bash -c '
    bin_dir="$1"
    shift
    for benchmark in "$@"; do
        echo "== $benchmark (win32, under Wine)"
        tools/wine-exec.sh "$bin_dir/$benchmark.exe"
    done' _ "$windows_bin_dir" "${windows_benchmarks[@]}"
