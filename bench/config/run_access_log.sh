#!/usr/bin/env bash
# Appends access-log records from 1 and from 8 threads and prints records per
# second (median of the rounds). The folder decides the file system measured.
# Usage: bench/config/run_access_log.sh [build-dir] [records per thread] [rounds] [folder]
#        (default: build-bench, 50000 records, 5 rounds, a folder under $TMPDIR)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"
RECORDS="${2:-50000}"
ROUNDS="${3:-5}"
FOLDER="${4:-${TMPDIR:-/tmp}/velto-access-log-bench}"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTO_TESTS=OFF >/dev/null
fi
ninja -C "$BUILD" -j2 access_log_bench >/dev/null

echo "== AccessLog::Append, one download record each, $RECORDS per thread =="
"$BUILD/bench/config/access_log_bench" "$RECORDS" "$ROUNDS" "$FOLDER"
