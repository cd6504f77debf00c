#!/usr/bin/env bash
# Builds the three builds and runs every test: native under the sanitizers,
# i686 and x86_64 under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

# The code is kept in clang-format's shape (make format).
tools/format.sh --check
tools/build.sh

ctest --preset native -j "$jobs"
tools/with-wine.sh bash -c "ctest --preset win32 -j $jobs && ctest --preset win64 -j $jobs"
