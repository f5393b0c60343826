#!/usr/bin/env bash
# The web client in Debian's headless chromium on a folder of 10 000 items:
# navigation to the first rows, a jump to the end, typed filters and the tile
# view, with nginx's HTML index of the same folder as the peer.
# Usage: bench/e2e/run.sh [build dir] [runs]   (defaults: build, 7)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-$ROOT/build}"
RUNS="${2:-7}"
[ -x "$BUILD/app/veltocorvane" ] || { echo "build $BUILD/app/veltocorvane first: cmake --build $BUILD --target veltocorvane"; exit 1; }
[ -d "$ROOT/node_modules/playwright-core" ] || { echo "playwright-core is missing: run scripts/install-deps.sh"; exit 1; }
VELTO_SOURCE_DIR="$ROOT" VELTO_BINARY_DIR="$BUILD" exec node "$ROOT/bench/e2e/folder_bench.mjs" "$RUNS"
