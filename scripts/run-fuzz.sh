#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, one after another in a single process each, so a
# run takes one core.
# Usage: run-fuzz.sh BUILD_DIR [SECONDS] [TARGET...]   (default: 60 s, every target)
# With FUZZ_RUNS set, each target runs for that many executions instead of a time (a long
# campaign: FUZZ_RUNS=10000000); the corpus it leaves lets a later campaign go on from there.
# The working corpus grows in BUILD_DIR/corpus/<target>, seeded from tests/fuzz/corpus/<target>;
# crashes land in BUILD_DIR/findings/<target>, the log in BUILD_DIR/fuzz_<target>.log. The exit
# status is 1 when any target found something.
set -euo pipefail
build=$1
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(settings windows switches folder templates shell)
fi
status=0
for target in "${targets[@]}"; do
    exe="$build/tests/fuzz/fuzz_$target"
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$corpus" "$findings"
    cp -n "$root/tests/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
    if [ -n "${FUZZ_RUNS:-}" ]; then
        bound=(-runs="$FUZZ_RUNS")
        echo "fuzz_$target: $FUZZ_RUNS executions"
    else
        bound=(-max_total_time="$seconds")
        echo "fuzz_$target: $seconds s"
    fi
    if ! "$exe" "${bound[@]}" -max_len=65536 -timeout=20 -rss_limit_mb=4096 \
            -dict="$root/tests/fuzz/$target.dict" -artifact_prefix="$findings/" \
            -print_final_stats=1 "$corpus" >"$build/fuzz_$target.out" 2>"$build/fuzz_$target.log"; then
        status=1
        echo "fuzz_$target: FINDING, see $findings and $build/fuzz_$target.log"
        grep -E "^fuzz_$target: " "$build/fuzz_$target.log" || true
    fi
    grep -E 'stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb' \
        "$build/fuzz_$target.log" || true
    # The coverage reached: the last status line of the run.
    grep -E '^#[0-9]+' "$build/fuzz_$target.log" | tail -1 || true
done
exit $status
