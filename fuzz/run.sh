#!/usr/bin/env bash
# Runs one fuzz target: every crash reproducer found so far and every seed
# once, then fuzzing from the seeds for the given seconds.
#   fuzz/run.sh <target binary> <reader name> [seconds] [extra libFuzzer flags...]
# A failure prints the end of the target's output and the input that broke it.
set -uo pipefail
bin=$1
name=$2
seconds=${3:-10}
shift $(( $# < 3 ? $# : 3 ))
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/crashes"
flags=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/crashes/" -print_final_stats=1)

if ! "$bin" "${flags[@]}" -runs=0 "$here/regressions/$name" "$here/corpus/$name" >"$work/replay.log" 2>&1; then
    echo "$name: a reproducer or seed fails:"
    tail -n 40 "$work/replay.log"
    exit 1
fi
cp -r "$here/corpus/$name/." "$work/corpus/"
if ! "$bin" "${flags[@]}" -max_total_time="$seconds" "$@" "$work/corpus" >"$work/fuzz.log" 2>&1; then
    echo "$name: fuzzing found a failure; add the input below to fuzz/regressions/$name once mended:"
    tail -n 40 "$work/fuzz.log"
    ls -l "$work/crashes"
    mkdir -p "${FUZZ_ARTIFACTS:-/tmp/vantorel-fuzz-crashes}"
    cp "$work/crashes/"* "${FUZZ_ARTIFACTS:-/tmp/vantorel-fuzz-crashes}/" 2>/dev/null
    exit 1
fi
grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/fuzz.log"
