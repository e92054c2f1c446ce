#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for a bounded time from its
# checked-in seeds. New inputs go to a temporary directory, never into the source tree.
# Usage: tests/fuzz/run.sh [seconds per target, default 20] [target...]
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${1:-20}"
shift || true
here=tests/fuzz
build=build-fuzz

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= \
    "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for binary in "$build"/fuzz_*; do
        targets+=("${binary##*/fuzz_}")
    done
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One target; its log and findings stay in the scratch directory until reported.
fuzz_one() {
    local target=$1 found="$scratch/$1"
    mkdir -p "$found"
    local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$found/")
    if [ -f "$here/$target.dict" ]; then
        options+=(-dict="$here/$target.dict")
    fi
    # The first corpus directory receives new inputs; the checked-in seeds are only read.
    local status=0
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$build/fuzz_$target" "${options[@]}" "$found" "$here/corpus/$target" \
        >"$scratch/$target.log" 2>&1 || status=$?
    echo "$status" >"$scratch/$target.status"
}

# Each target is single-threaded: run as many at once as there are cores.
running=0
for target in "${targets[@]}"; do
    fuzz_one "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$(nproc)" ]; then
        wait -n || true
        running=$((running - 1))
    fi
done
wait

failed=0
for target in "${targets[@]}"; do
    if [ "$(cat "$scratch/$target.status")" = 0 ]; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$target.log")
        echo "fuzz $target: ${runs:-?} inputs in ${seconds} s, no finding"
        continue
    fi
    failed=1
    echo "fuzz $target: FAILED"
    tail -n 40 "$scratch/$target.log"
    for artifact in "$scratch/$target"/crash-* "$scratch/$target"/leak-* \
        "$scratch/$target"/timeout-* "$scratch/$target"/oom-*; do
        [ -e "$artifact" ] || continue
        kept="$build/${artifact##*/}"
        cp "$artifact" "$kept"
        echo "input kept as $kept (add it to $here/corpus/$target/ once fixed)"
    done
done
exit "$failed"
