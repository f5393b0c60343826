#!/usr/bin/env bash
# Parsing cost of router replies: a typical device description and 256 KiB
# replies shaped to slow a scanner down. Prints Google Benchmark's table.
# Usage: bench/reach/run.sh [build-dir]   (default: build-bench)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"

bench_build "$BUILD" reach_bench
"$BUILD/bench/reach/reach_bench" --benchmark_min_time=0.2
