#!/usr/bin/env bash
# `make coverage`: what the tests reach. Builds the suite with gcov's counters
# (presets coverage-native and coverage-win64; COVERAGE_WIN32=1 adds
# coverage-win32, slow where the 32-bit side runs under an emulator), runs it
# natively and under Wine, and merges the counts of launch/ and Shared/sdk/
# into one HTML report, build/coverage/index.html, with line and branch
# figures per file and per function. Prints a one-screen summary. A failing
# test still leaves a report, and the command fails.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/jobs.sh
jobs="$(parallel_jobs)"
out=build/coverage

windows_presets=(coverage-win64)
if [ "${COVERAGE_WIN32:-}" = 1 ]; then
    windows_presets+=(coverage-win32)
fi

tools/build.sh coverage-native "${windows_presets[@]}"
# Counts left by an earlier run would add up with this one's.
for preset in coverage-native "${windows_presets[@]}"; do
    find "build/$preset" -name '*.gcda' -delete
done

failed=()
ctest --preset coverage-native -j "$jobs" || failed+=(coverage-native)
# A Windows program writes its counts to the absolute Linux path of each
# object's .gcda file; on Z:, Wine's drive for the Linux root, that path
# names the same file whatever drive the program's current folder is on.
for preset in "${windows_presets[@]}"; do
    tools/with-wine.sh env GCOV_PREFIX=Z: ctest --preset "$preset" -j "$jobs" || failed+=("$preset")
done

rm -rf "$out"
mkdir -p "$out"
# Branches to exception handlers and branches of lines without code come
# from the compiler, not from a decision in the source.
filters=(--root . --filter 'launch/' --filter 'Shared/sdk/' --exclude-throw-branches --exclude-unreachable-branches)
tracefiles=()
for preset in coverage-native "${windows_presets[@]}"; do
    case "$preset" in
    coverage-native) gcov=gcov ;;
    coverage-win64) gcov=x86_64-w64-mingw32-gcov ;;
    coverage-win32) gcov=i686-w64-mingw32-gcov ;;
    esac
    # Only this build's counts, read by the gcov of its compiler.
    gcovr "${filters[@]}" -j "$jobs" --gcov-executable "$gcov" --object-directory "build/$preset" \
        --json "$out/$preset.json" "build/$preset"
    tracefiles+=(--add-tracefile "$out/$preset.json")
done
gcovr --root . "${tracefiles[@]}" --html-details "$out/index.html" --html-title "Valdrenne: what the tests reach" \
    --json-summary "$out/summary.json" --json "$out/merged.json"
/usr/bin/python3 tools/coverage-summary.py "$out" coverage-native "${windows_presets[@]}"

if [ ${#failed[@]} -gt 0 ]; then
    echo "coverage: tests failed in ${failed[*]} (above); the figures count the runs as they went" >&2
    exit 1
fi
