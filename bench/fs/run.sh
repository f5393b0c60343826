#!/usr/bin/env bash
# Times OpenItem at depth 1 and 20 and the listing of a 10 000-entry folder
# (enumeration plus the listing's filtering), with plain open/readdir baselines.
# Usage: bench/fs/run.sh [build-dir]   (default: build-bench, a Release build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTO_TESTS=OFF >/dev/null
fi
ninja -C "$BUILD" -j2 fs_bench >/dev/null

echo "== file-system layer (kernel $(uname -r)) =="
"$BUILD/bench/fs/fs_bench" --benchmark_min_time=0.5 "${@:2}"
