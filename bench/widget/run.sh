#!/usr/bin/env bash
# Times full-frame rendering and layout of a window-sized widget tree at
# 100 % and 200 %, headless, in a Release build, and renders the demo page
# in the three themes next to the build.
# Usage: bench/widget/run.sh [build-dir] [frames]   (default: build-bench, 200 frames)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-${BUILD_DIR:-$ROOT/build-bench}}"
FRAMES="${2:-200}"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTO_TESTS=OFF >/dev/null
fi
ninja -C "$BUILD" -j2 widget_bench widget_demo >/dev/null

"$BUILD/bench/widget/widget_bench" "$FRAMES"
mkdir -p "$BUILD/bench/widget/shots"
"$BUILD/bench/widget/widget_demo" "$BUILD/bench/widget/shots" 1
