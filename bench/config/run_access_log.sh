#!/usr/bin/env bash
# Appends access-log records from 1 and from 8 threads and prints records per
# second (median of the rounds). The folder decides the file system measured.
# Usage: bench/config/run_access_log.sh [build-dir] [records per thread] [rounds] [folder]
#        (default: build-bench, 50000 records, 5 rounds, a folder under $TMPDIR)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/bench/lib.sh"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"
RECORDS="${2:-50000}"
ROUNDS="${3:-5}"
FOLDER="${4:-${TMPDIR:-/tmp}/velto-access-log-bench}"

bench_build "$BUILD" access_log_bench

echo "== AccessLog::Append, one download record each, $RECORDS per thread =="
"$BUILD/bench/config/access_log_bench" "$RECORDS" "$ROUNDS" "$FOLDER"
