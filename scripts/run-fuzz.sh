#!/usr/bin/env bash
# Runs every fuzz target for a bounded time. Usage: run-fuzz.sh BUILD_DIR SECONDS
# The working corpus grows in BUILD_DIR/corpus/<target>, seeded from tests/fuzz/corpus/<target>;
# crashes land in BUILD_DIR/findings/<target>.
set -euo pipefail
build=$1
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in settings windows; do
    exe="$build/tests/fuzz/fuzz_$target"
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$corpus" "$findings"
    cp -n "$root/tests/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
    echo "fuzz_$target: $seconds s"
    if ! "$exe" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=4096 \
            -dict="$root/tests/fuzz/$target.dict" -artifact_prefix="$findings/" \
            -print_final_stats=1 "$corpus" 2>"$build/fuzz_$target.log"; then
        status=1
        echo "fuzz_$target: FINDING, see $findings and $build/fuzz_$target.log"
    fi
    grep -E 'stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb' \
        "$build/fuzz_$target.log" || true
done
exit $status
