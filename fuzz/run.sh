#!/usr/bin/env bash
# `make fuzz`: builds every fuzz target with clang and libFuzzer, under
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs each for a bounded
# time: FUZZ_SECONDS (default 60) per target; FUZZ_TARGETS picks some
# (e.g. "Encoding SString"). Each run starts from the committed corpus in
# fuzz/corpus/<target>; what it adds goes to build/fuzz/corpus/<target>, and
# any crash, sanitizer report or broken property to build/fuzz/findings/.
# A finding, once minimised (-minimize_crash=1) and mended, belongs in
# fuzz/corpus/<target>, where `make test` replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
# Long enough for the converters' appending path and the longest permitted
# file path.
max_len=8192
build=build/fuzz

if [ -n "${FUZZ_TARGETS:-}" ]; then
    read -r -a targets <<<"$FUZZ_TARGETS"
else
    targets=()
    for source in fuzz/*.Fuzz.cpp; do
        name="$(basename "$source" .Fuzz.cpp)"
        targets+=("$name")
    done
fi

# The fuzz preset picks the newest clang that can link libFuzzer
# (cmake/toolchain-fuzz.cmake).
tools/build.sh fuzz -- --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=()
summary=()
for name in "${targets[@]}"; do
    corpus="$build/corpus/$name"
    findings="$build/findings/$name"
    log="$build/logs/$name.log"
    mkdir -p "$corpus" "$findings" "$(dirname "$log")"
    echo "== $name: ${seconds}s"
    status=0
    "$build/bin/fuzz_$name" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "fuzz/corpus/$name" >"$log" 2>&1 || status=$?
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
    time="$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)"
    summary+=("$(printf '%-14s %14s %8s %10s' "$name" "${runs:-?}" "${time:-?}" "${rate:-?}")")
    if [ "$status" -ne 0 ]; then
        failed+=("$name")
        tail -n 40 "$log"
    fi
done

printf '\n%-14s %14s %8s %10s\n' "target" "executions" "seconds" "execs/s"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
    echo "findings in: ${failed[*]} (see $build/findings and $build/logs)"
    exit 1
fi
