#!/usr/bin/env bash
# Runs every fuzz target (or those named) for SECONDS each, JOBS at a time, and prints a
# table: executions, executions per second, coverage found beyond the committed corpus,
# and crashes. New inputs and crash artifacts stay under BUILD/fuzz-work/<target>/; a crash
# input belongs in the target's corpus/ once its fault is fixed.
# usage: fuzz/run.sh BUILD SECONDS [JOBS] [TARGET...]
set -eu
build=$(cd "$1" && pwd); seconds=$2; jobs=${3:-$(nproc)}; shift 3 2>/dev/null || shift $#
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=($(cd "$here" && ls -d */ | tr -d /))

one() {
    local t=$1 work=$build/fuzz-work/$1 dict=()
    mkdir -p "$work/corpus"
    [ -f "$here/$t/$t.dict" ] && dict=(-dict="$here/$t/$t.dict")
    (cd "$work" && LSAN_OPTIONS=suppressions=$here/lsan.supp QT_LOGGING_RULES='*.debug=false' \
        "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$work/" "${dict[@]}" "$work/corpus" "$here/$t/corpus" \
        >"$work/log" 2>&1) || true
}
export -f one; export build here seconds
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'one {}'

printf '%-14s %12s %10s %12s %8s\n' target runs exec/s new-coverage crashes
for t in "${targets[@]}"; do
    log=$build/fuzz-work/$t/log
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    start=$(sed -n 's/.*INITED cov: \([0-9]*\).*/\1/p' "$log" | head -1)
    end=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    crashes=$(find "$build/fuzz-work/$t" -maxdepth 1 -name 'crash-*' -o -maxdepth 1 -name 'leak-*' \
        -o -maxdepth 1 -name 'timeout-*' -o -maxdepth 1 -name 'oom-*' | wc -l)
    printf '%-14s %12s %10s %12s %8s\n' "$t" "${runs:-?}" "${rate:-?}" \
        "$(( ${end:-0} - ${start:-0} ))" "$crashes"
done
