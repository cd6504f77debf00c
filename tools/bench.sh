#!/usr/bin/env bash
# Prints the section sizes of both shipped images. Builds the optimised,
# unsanitised native build and runs every benchmark in it; extra arguments go
# to each of these (e.g. --benchmark_min_time=0.1). Then builds the Windows
# benchmarks and runs them under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/i386-linux.sh

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

# Windows benchmarks, run under Wine in one private prefix: the report log's
# cost in the shipping win32 build, and the launch's start-up in both shipped
# builds (win64 first: 32-bit programs may run under an emulator here, whose
# timings are its own). They print their own figures; none is given arguments.
tools/build.sh win32 -- --target reportlog_bench launch_bench
tools/build.sh win64 -- --target launch_bench
if emulator="$(i386_emulator)"; then
    echo "note: the win32 figures are the emulator's ($emulator), not a processor's"
fi
tools/with-wine.sh bash -c '
    for benchmark in "$@"; do
        echo "== ${benchmark%%/*}/${benchmark#*/} (under Wine)"
        tools/wine-exec.sh "build/${benchmark%%/*}/bin/${benchmark#*/}.exe"
    done' _ win32/reportlog_bench win64/launch_bench win32/launch_bench
