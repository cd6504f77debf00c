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
# Every C++ file of the checkout that git does not ignore, tracked or new.
git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h' | xargs -0 clang-format "${options[@]}"
