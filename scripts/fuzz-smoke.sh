#!/usr/bin/env bash
# The CI smoke of the fuzz targets: builds them with clang (ASan + UBSan + libFuzzer) and runs
# each for FUZZ_SECONDS (default 30) on its seed corpus. Fails when a target finds something.
# Usage: fuzz-smoke.sh [BUILD_DIR]   (default build/fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/fuzz}
seconds=${FUZZ_SECONDS:-30}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIX_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target fuzz_targets
bash "$root/scripts/run-fuzz.sh" "$build" "$seconds"
