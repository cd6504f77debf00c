#!/usr/bin/env bash
# Builds every build and runs every test: native under the sanitizers, i686
# and x86_64 under Wine, each built with clang/lld (what ships) and with GCC.
# VALDRENNE_SKIP_WIN32=1 leaves the i686 builds untested where nothing can
# run Wine's 32-bit side.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/i386-linux.sh
. tools/jobs.sh
jobs="$(parallel_jobs)"

windows_presets=(win32 win64 win32-gcc win64-gcc)
if ! i386_program_starts; then
    if [ "${VALDRENNE_SKIP_WIN32:-}" = 1 ]; then
        echo "test: WARNING: the shipping win32 build is NOT tested: this machine starts no 32-bit programs"
        windows_presets=(win64 win64-gcc)
    else
        cat >&2 <<'EOF'
test: stopped: this machine starts no 32-bit x86 programs, so Wine cannot run
the shipping win32 build. Its kernel runs none ("32-bit emulation disabled" in
dmesg) and no emulator is registered in binfmt_misc for them.
- To test everything: run tools/setup.sh as root (or with sudo) on a machine
  with binfmt_misc; it installs qemu-user and registers it.
- To test everything else, leaving the win32 build untested:
  VALDRENNE_SKIP_WIN32=1 make test
EOF
        exit 1
    fi
fi

if [ "${windows_presets[0]}" = win32 ] && emulator="$(i386_emulator)"; then
    echo "test: the win32 build runs under $emulator; the cases that depend on how a processor fault is delivered skip"
fi

# The code is kept in clang-format's shape (make format).
tools/format.sh --check
tools/build.sh

ctest --preset native -j "$jobs"
wine_tests=""
for preset in "${windows_presets[@]}"; do
    wine_tests+="ctest --preset $preset -j $jobs && "
done
tools/with-wine.sh bash -c "${wine_tests}true"
