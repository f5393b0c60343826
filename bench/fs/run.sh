#!/usr/bin/env bash
# Times OpenItem at depth 1 and 20 and the listing of a 10 000-entry folder
# (enumeration plus the listing's filtering), with plain open/readdir baselines.
# Usage: bench/fs/run.sh [build-dir]   (default: build-bench, a Release build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"

bench_build "$BUILD" fs_bench

echo "== file-system layer (kernel $(uname -r)) =="
"$BUILD/bench/fs/fs_bench" --benchmark_min_time=0.5 "${@:2}"
