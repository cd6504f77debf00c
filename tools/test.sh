#!/usr/bin/env bash
# Builds the three builds and runs every test: native under the sanitizers,
# i686 and x86_64 under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

# The code is kept in clang-format's shape (make format).
find Shared launch tests bench sample fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format --dry-run --Werror

for preset in native win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
done

ctest --preset native -j "$jobs"
tools/with-wine.sh bash -c "ctest --preset win32 -j $jobs && ctest --preset win64 -j $jobs"
