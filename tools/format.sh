#!/usr/bin/env bash
# Formats the C++ sources with clang-format; with --check, only reports what
# is not in clang-format's shape and fails.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--check" ]; then
    options=(--dry-run --Werror)
else
    options=(-i)
fi
find Shared launch tests bench sample -name '*.cpp' -o -name '*.h' | xargs clang-format "${options[@]}"
