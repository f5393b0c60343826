#!/usr/bin/env bash
# Parsing cost of router replies: a typical device description and 256 KiB
# replies shaped to slow a scanner down. Prints Google Benchmark's table.
# Usage: bench/reach/run.sh [build-dir]   (default: build-bench)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTO_TESTS=OFF >/dev/null
fi
ninja -C "$BUILD" -j2 reach_bench >/dev/null
"$BUILD/bench/reach/reach_bench" --benchmark_min_time=0.2
