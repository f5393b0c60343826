#!/usr/bin/env bash
# The service's status cost and the headless program's start-up time:
#  - GetStatus, which the window calls every two seconds on its UI thread
#    (Google Benchmark, ns per call);
#  - process start to the first served byte in headless mode, with nginx
#    started the same way as a reference.
#
#   bench/service/run.sh [build-dir]      (default: build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-$ROOT/build}"

[ -f "$BUILD/build.ninja" ] || cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null
ninja -C "$BUILD" service_bench veltocorvane >/dev/null

echo "=== GetStatus ==="
"$BUILD/bench/service/service_bench" --benchmark_min_time="${BENCH_MIN_TIME:-0.5}"

echo
echo "=== start to first byte ==="
python3 "$ROOT/bench/service/first_byte.py" "$BUILD/app/veltocorvane" "${BENCH_RUNS:-20}"
