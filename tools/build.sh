#!/usr/bin/env bash
# Configures and builds the given presets (default: every build of make test),
# in order, with JOBS parallel jobs (default: one per processor).
# Usage: [JOBS=N] tools/build.sh [PRESET...] [-- CMAKE-BUILD-ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/jobs.sh

presets=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    presets+=("$1")
    shift
done
[ $# -gt 0 ] && shift
[ ${#presets[@]} -gt 0 ] || presets=(native win32 win64 win32-gcc win64-gcc)

for preset in "${presets[@]}"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(parallel_jobs)" "$@"
done
